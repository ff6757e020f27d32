// Exports under memory exhaustion: each answers its failure value and no exception crosses the
// boundary. Global operator new is replaced in this program (and so, on Linux, for the library
// loaded into it) by one that fails on demand on the calling thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "KuvoChat.h"

namespace {
thread_local bool t_fail_allocations = false;
}  // namespace

// The replacement pairs malloc with free on purpose; GCC's check sees only new and free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (t_fail_allocations) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return t_fail_allocations ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

// Fails every allocation on this thread for its scope.
class NoMemory {
 public:
  NoMemory() { t_fail_allocations = true; }
  ~NoMemory() { t_fail_allocations = false; }
};

// Runs `call` and tells whether it threw.
template <typename Call>
bool Throws(Call&& call) {
  try {
    call();
    return false;
  } catch (...) {
    return true;
  }
}

TEST(AllocFailureTest, ExportsAnswerTheirFailureValueAndThrowNothing) {
  tagTimSendMsgInfo msg;
  msg.peerKind = 9;
  msg.peerId = 77;
  msg.msgId = 1;
  msg.payload = std::string(64, 'p');
  std::vector<bool> threw;
  threw.reserve(32);
  uint64_t seq = 1;
  uint64_t request = 1;
  int32_t unread = 1;
  uint8_t removed = 1;
  bool init = true;
  bool sent = true;
  {
    NoMemory no_memory;  // no manager exists yet: even fetching one fails
    threw.push_back(Throws([&] { seq = Im_CreateNewSeq(); }));
    threw.push_back(Throws([&] { init = Im_Init(1, 0, L"unused"); }));
    threw.push_back(Throws([] { Im_RegConnCallBack(nullptr); }));
    threw.push_back(Throws([] { Im_NotifyReleaseData(); }));
    threw.push_back(Throws([] { Im_Loginout(); }));
    threw.push_back(Throws([] { Im_GetRecentList(); }));
    threw.push_back(Throws([] { Im_SetReadMsg(9, 77); }));
    threw.push_back(Throws([&] { unread = Im_GetTalkUnReadCnt(9, 77); }));
    threw.push_back(Throws([&] { removed = Im_RemoveTalk(9, 77, true); }));
    threw.push_back(Throws([&] { request = Im_GetMsgList(9, 77, 5, 1, nullptr); }));
    threw.push_back(Throws([&] { sent = Im_SendMsg(&msg, false, true); }));
    threw.push_back(Throws([] { Im_UnInit(); }));
  }
  EXPECT_EQ(threw, std::vector<bool>(threw.size(), false));
  EXPECT_EQ(seq, 0u);
  EXPECT_FALSE(init);
  EXPECT_EQ(unread, 0);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(request, 0u);
  EXPECT_FALSE(sent);

  Im_CreateNewSeq();             // now a manager exists
  std::string account(64, 'a');  // longer than any string kept in place
  std::string sig(64, 's');
  bool login = true;
  bool login_threw = false;
  bool send_threw = false;
  sent = true;
  {
    NoMemory no_memory;
    login_threw = Throws([&] { login = Im_Login(7, std::move(account), std::move(sig)); });
    send_threw = Throws([&] { sent = Im_SendMsg(&msg, false, false); });
  }
  EXPECT_FALSE(login_threw);
  EXPECT_FALSE(login);
  EXPECT_FALSE(send_threw);
  EXPECT_FALSE(sent);
  Im_UnInit();
}

}  // namespace
