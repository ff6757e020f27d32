// KuvoFetch's exports and completion callback as a 32-bit host meets them: plain names, the
// caller-cleans convention for the exports (hand-laid slots, slot_call.h) and a plain cdecl
// completion routine called back with the request id and the request, against the loopback
// servers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "KuvoFetch.h"
#include "fetch_fixture.h"
#include "slot_call.h"

namespace abi_test {
namespace {

static_assert(std::is_same<HttpRequestCallback, void(__cdecl*)(uint32_t, IHttpRequest*)>::value,
              "the completion callback is a plain cdecl function");

using StartRequestFn = uint32_t(__cdecl*)(IHttpRequest*, HttpRequestCallback);

void __cdecl Completed(uint32_t id, IHttpRequest* request) {
  fetch_test::RecordCompletion(id, request);
}

class FetchExportsAbi : public fetch_test::FetchTest {
 protected:
  const void* Export(const char* name) {
    HMODULE library = GetModuleHandleW(L"KuvoFetchForTesting.dll");
    return library ? reinterpret_cast<const void*>(GetProcAddress(library, name)) : nullptr;
  }
  static fetch_test::RequestValues Echo(const char* tag) {
    fetch_test::RequestValues v;
    v.url = fetch_test::HttpUrl("/echo/" + fetch_test::NewKey(tag));
    return v;
  }
};

TEST_F(FetchExportsAbi, CompletionRoutineReceivesIdAndRequest) {
  auto start = As<StartRequestFn>(
      GetProcAddress(GetModuleHandleW(L"KuvoFetchForTesting.dll"), "HttpStartRequest"));
  ASSERT_NE(start, nullptr);
  auto request = fetch_test::TestRequest::Make(Echo("typed"));
  uint32_t id = 0;
  OnRunner([&] { id = start(request.get(), &Completed); });
  ASSERT_NE(id, 0u);
  fetch_test::Completion done;
  ASSERT_TRUE(fetch_test::CompletionLog::Get().WaitFor(id, &done));
  EXPECT_EQ(done.id, id);
  EXPECT_EQ(done.request, request->LastClone());
  EXPECT_TRUE(done.on_runner);
  EXPECT_EQ(done.code, 0);
}

#if defined(__i386__)
TEST_F(FetchExportsAbi, ExportsLeaveTheirArgumentsToTheCaller) {
  auto request = fetch_test::TestRequest::Make(Echo("slots"));
  SlotResult started, stopped, again, restarted;
  OnRunner([&] {
    started = CallWithSlots(Export("HttpStartRequest"), {Ptr(request.get()), FnSlot(&Completed)});
  });
  EXPECT_EQ(started.popped, 0);
  ASSERT_NE(started.eax, 0u);
  fetch_test::Completion done;
  ASSERT_TRUE(fetch_test::CompletionLog::Get().WaitFor(started.eax, &done));
  EXPECT_EQ(done.code, 0);
  EXPECT_NE(done.response.find("GET"), std::string::npos) << done.response;

  // A second request stopped at once: the id comes back in the one slot and is forgotten.
  auto second = fetch_test::TestRequest::Make(Echo("stopped"));
  OnRunner([&] {
    again = CallWithSlots(Export("HttpStartRequest"), {Ptr(second.get()), FnSlot(&Completed)});
    stopped = CallWithSlots(Export("HttpStopRequest"), {again.eax});
  });
  EXPECT_EQ(again.eax, started.eax + 1);
  EXPECT_EQ(stopped.popped, 0);
  const auto keys = service_->StoppedKeys();
  ASSERT_FALSE(keys.empty());

  // HttpUnInit and HttpInit (a bool result in the low byte) through slots as well.
  SlotResult uninit, init;
  OnRunner([&] {
    uninit = CallWithSlots(Export("HttpUnInit"), {});
    init = CallWithSlots(Export("HttpInit"), {Ptr(service_.get()), Ptr(runner_.get())});
    restarted = CallWithSlots(Export("HttpStartRequest"), {Ptr(request.get()), 0});
  });
  EXPECT_EQ(uninit.popped, 0);
  EXPECT_EQ(init.popped, 0);
  EXPECT_EQ(init.low_byte(), 1);
  EXPECT_EQ(restarted.popped, 0);
  EXPECT_EQ(restarted.eax, started.eax + 2) << "ids are never reset";
  EXPECT_EQ(fetch_test::CompletionLog::Get().CountFor(again.eax), 0);
}
#endif

}  // namespace
}  // namespace abi_test
