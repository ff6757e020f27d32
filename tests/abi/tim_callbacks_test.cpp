// The IM SDK's callback records hold plain cdecl routines (the vendor's C headers declare no
// other convention): the records' field types must be exactly those, so that KuvoChat's routines
// and the vendor's library agree, and the stand-in must call such routines with every argument
// in its place.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "tim/tim_c.h"
#include "tim/tim_control.h"

namespace abi_test {
namespace {

template <typename Field, typename Expected>
constexpr bool kSame = std::is_same<Field, Expected>::value;

static_assert(kSame<decltype(TIMCommCB::OnSuccess), void(__cdecl*)(void*)>, "TIMCommCB");
static_assert(kSame<decltype(TIMCommCB::OnError), void(__cdecl*)(int, const char*, void*)>,
              "TIMCommCB");
static_assert(
    kSame<decltype(TIMMessageCB::OnNewMessage), void(__cdecl*)(TIMMessageHandle*, uint32_t, void*)>,
    "TIMMessageCB");
static_assert(
    kSame<decltype(TIMGetMsgCB::OnSuccess), void(__cdecl*)(TIMMessageHandle*, int, void*)>,
    "TIMGetMsgCB");
static_assert(kSame<decltype(TIMGetMsgCB::OnError), void(__cdecl*)(int, const char*, void*)>,
              "TIMGetMsgCB");
static_assert(kSame<decltype(TIMConnCB::OnConnected), void(__cdecl*)(void*)>, "TIMConnCB");
static_assert(kSame<decltype(TIMConnCB::OnDisconnected), void(__cdecl*)(int, const char*, void*)>,
              "TIMConnCB");
static_assert(kSame<decltype(TIMForceOfflineCB::OnForceOffline), void(__cdecl*)(void*)>,
              "TIMForceOfflineCB");
static_assert(kSame<decltype(TIMUserSigExpiredCB::OnUserSigExpired), void(__cdecl*)(void*)>,
              "TIMUserSigExpiredCB");
static_assert(kSame<decltype(TIMRefreshListener::OnRefresh), void(__cdecl*)(void*)>,
              "TIMRefreshListener");
static_assert(kSame<decltype(TIMRefreshListener::OnConversationRefresh),
                    void(__cdecl*)(TIMConversationHandle*, uint32_t, void*)>,
              "TIMRefreshListener");
// The record's context follows the routines, as the vendor lays them out.
static_assert(sizeof(TIMCommCB) == 3 * sizeof(void*), "TIMCommCB layout");
static_assert(sizeof(TIMMessageCB) == 2 * sizeof(void*), "TIMMessageCB layout");

struct Seen {
  std::vector<std::string> calls;  // "name code desc" per call, context checked on the way in
  std::vector<uint32_t> message_counts;
  int bad_context = 0;
};

Seen* Context(void* data, Seen* expected) {
  if (data != expected) ++expected->bad_context;
  return expected;
}

Seen g_seen;

void __cdecl OnSuccess(void* data) {
  Context(data, &g_seen)->calls.push_back("success");
}
void __cdecl OnError(int code, const char* desc, void* data) {
  Context(data, &g_seen)
      ->calls.push_back("error " + std::to_string(code) + " " + (desc ? desc : "null"));
}
void __cdecl OnConnected(void* data) {
  Context(data, &g_seen)->calls.push_back("connected");
}
void __cdecl OnDisconnected(int code, const char* desc, void* data) {
  Context(data, &g_seen)->calls.push_back("disconnected " + std::to_string(code) + " " + desc);
}
void __cdecl OnNewMessage(TIMMessageHandle* handles, uint32_t count, void* data) {
  Seen* seen = Context(data, &g_seen);
  uint32_t valid = 0;
  for (uint32_t i = 0; i < count; ++i) valid += handles[i] != nullptr ? 1 : 0;
  seen->message_counts.push_back(valid);
}

class TimCallbacksAbi : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen();
    tim_control::Reset();
    tim_control::SetSynchronousCallbacks(true);
    ASSERT_EQ(TIMInit(), 0);
  }
  void TearDown() override {
    TIMSetConnCallBack(nullptr);
    TIMSetMessageCallBack(nullptr);
    TIMUninit();
    tim_control::Reset();
  }
};

// Repeated many times: a caller that expected the routine to pop its arguments would lose stack
// on every call.
TEST_F(TimCallbacksAbi, StandInCallsCdeclRoutinesWithEveryArgumentInPlace) {
  TIMCommCB login{&OnSuccess, &OnError, &g_seen};
  TIMUserInfo user{"36862", "1400012345", "900100200300", "0", nullptr, nullptr};
  tim_control::LoginScript failing;
  failing.outcome = 6206;
  failing.desc = "sig expired";
  tim_control::SetLoginScript(failing);
  ASSERT_EQ(TIMLogin(1400012345, &user, "sig", &login), 0);
  tim_control::SetLoginScript(tim_control::LoginScript());
  ASSERT_EQ(TIMLogin(1400012345, &user, "sig", &login), 0);

  TIMConnCB conn{&OnConnected, &OnDisconnected, &g_seen};
  TIMSetConnCallBack(&conn);
  TIMMessageCB messages{&OnNewMessage, &g_seen};
  TIMSetMessageCallBack(&messages);
  constexpr int kRounds = 200;
  for (int i = 0; i < kRounds; ++i) {
    tim_control::RaiseDisconnected(1000 + i, "lost");
    tim_control::RaiseConnected();
  }
  tim_control::DeliverNewMessages({tim_control::CustomMessage(kCnvC2C, "77", "42", "YWJj"),
                                   tim_control::CustomMessage(kCnvC2C, "77", "42", "YWI=")});
  tim_control::WaitIdle();

  ASSERT_GE(g_seen.calls.size(), 2u + 2 * kRounds);
  EXPECT_EQ(g_seen.calls[0], "error 6206 sig expired");
  EXPECT_EQ(g_seen.calls[1], "success");
  EXPECT_EQ(g_seen.calls[2], "disconnected 1000 lost");
  EXPECT_EQ(g_seen.calls[3], "connected");
  EXPECT_EQ(g_seen.calls[2 + 2 * (kRounds - 1)],
            "disconnected " + std::to_string(999 + kRounds) + " lost");
  EXPECT_EQ(g_seen.message_counts, std::vector<uint32_t>{2});
  EXPECT_EQ(g_seen.bad_context, 0);
}

}  // namespace
}  // namespace abi_test
