// Nothing of KuvoChat is destroyed when the process exits or the library is unloaded: SDK
// threads may still report then, and must not meet a manager or a lock half torn down. Every
// destructor a library registers to run at exit passes through __cxa_atexit; this program puts
// its own in front of the C library's and looks at what KuvoChat registered. Two kinds are
// harmless and allowed: the standard library's stream guard (its function is libstdc++'s) and
// the default instances of the generated schema classes, whose destructors are empty.
#include <dlfcn.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/message.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "KuvoChat.h"

namespace {

struct Record {
  void (*function)(void*);
  void* argument;
  void* dso_handle;
};
constexpr int kMaxRecords = 4096;
Record g_records_seen[kMaxRecords];  // plain data: filled before main, while libraries load
std::atomic<int> g_records{0};

using AtExit = int (*)(void (*)(void*), void*, void*);

}  // namespace

extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso_handle) {
  static AtExit next = reinterpret_cast<AtExit>(dlsym(RTLD_NEXT, "__cxa_atexit"));
  const int slot = g_records.fetch_add(1);
  if (slot < kMaxRecords) g_records_seen[slot] = {function, argument, dso_handle};
  return next(function, argument, dso_handle);
}

namespace {

std::string FileOf(const void* address) {
  Dl_info info{};
  if (address && dladdr(address, &info) && info.dli_fname) return info.dli_fname;
  return std::string();
}

void AddPrototypes(const google::protobuf::Descriptor* type, std::set<const void*>* out) {
  out->insert(google::protobuf::MessageFactory::generated_factory()->GetPrototype(type));
  for (int i = 0; i < type->nested_type_count(); ++i) AddPrototypes(type->nested_type(i), out);
}

TEST(ExitStaticsTest, KuvoChatRegistersNothingOfItsOwnToDestroyAtExit) {
  // Use the library, so that anything it sets up lazily exists too.
  Im_CreateNewSeq();
  Im_ReqWithdrawMsg(0, 0, 0, 0, 0, 0);
  Im_UnInit();
  Im_CreateNewSeq();  // a manager alive at exit, as when the host never calls Im_UnInit
  ASSERT_GT(g_records.load(), 0) << "the interposer saw no registration at all";

  const google::protobuf::FileDescriptor* schema =
      google::protobuf::DescriptorPool::generated_pool()->FindFileByName("timmsgtype.proto");
  ASSERT_NE(schema, nullptr);
  std::set<const void*> prototypes;
  for (int i = 0; i < schema->message_type_count(); ++i) {
    AddPrototypes(schema->message_type(i), &prototypes);
  }
  int allowed = 0;
  const int count = std::min(g_records.load(), kMaxRecords);
  for (int i = 0; i < count; ++i) {
    const Record& record = g_records_seen[i];
    if (FileOf(record.dso_handle).find("KuvoChat") == std::string::npos) continue;
    if (FileOf(reinterpret_cast<const void*>(record.function)).find("libstdc++") !=
            std::string::npos ||
        prototypes.count(record.argument)) {
      ++allowed;
      continue;
    }
    ADD_FAILURE() << "KuvoChat registers a destructor for the object at " << record.argument;
  }
  EXPECT_GE(allowed, 1) << "the generated schema classes were expected among them";
}

}  // namespace
