// The IM SDK stand-in answers like the vendor: the length protocol, handle ownership, callbacks
// on its own thread (or synchronously on request), and the store behind sends and history.
#include "tim/tim_c.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tim/tim_control.h"

namespace {

class TimStandinTest : public ::testing::Test {
 protected:
  void SetUp() override { tim_control::Reset(); }
  void TearDown() override {
    tim_control::WaitIdle();
    EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
    tim_control::Reset();
  }
};

struct Seen {
  std::mutex mutex;
  std::vector<std::string> events;
  std::thread::id thread;
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
    thread = std::this_thread::get_id();
  }
};
Seen* g_seen = nullptr;

void OnConnected(void*) {
  g_seen->Add("connected");
}
void OnDisconnected(int code, const char* desc, void*) {
  g_seen->Add("disconnected " + std::to_string(code) + " " + desc);
}
void OnNewMessage(TIMMessageHandle* handles, uint32_t n, void*) {
  for (uint32_t i = 0; i < n; ++i) {
    if (!handles[i]) {
      g_seen->Add("null");
      continue;
    }
    char buf[64] = {};
    uint32_t len = sizeof(buf);
    TIMConversationHandle conv = CreateConversation();
    GetConversationFromMsg(conv, handles[i]);
    GetConversationPeer(conv, buf, &len);
    DestroyConversation(conv);
    g_seen->Add(std::string("msg ") + buf + " elems " + std::to_string(GetElemCount(handles[i])));
  }
}

TEST_F(TimStandinTest, TextGettersFollowTheLengthProtocol) {
  TIMMsgCustomElemHandle elem = CreateCustomElemHandle();
  SetCustomElemData(elem, "hello", 5);
  uint32_t len = 0;
  EXPECT_EQ(GetCustomElemData(elem, nullptr, &len), -2);
  EXPECT_EQ(len, 5u);
  char small[3] = {};
  len = sizeof(small);
  EXPECT_EQ(GetCustomElemData(elem, small, &len), -2);  // did not fit: needed length back
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(std::string(small, 3), "hel");
  char big[6] = {};
  len = sizeof(big);
  EXPECT_EQ(GetCustomElemData(elem, big, &len), 0);
  EXPECT_EQ(len, 5u);
  EXPECT_STREQ(big, "hello");
  EXPECT_EQ(GetCustomElemData(elem, big, nullptr), -1);
  DestroyElem(elem);
}

TEST_F(TimStandinTest, HandlesAreCountedAndMisuseIsRecorded) {
  TIMMessageHandle msg = CreateTIMMessage();
  TIMConversationHandle conv = CreateConversation();
  TIMOfflineInfoHandle info = CreateTIMTIMOfflineInfo();
  EXPECT_EQ(tim_control::LiveHandleCount(), 3u);
  DestroyTIMMessage(msg);
  DestroyConversation(conv);
  DestroyTIMTIMOfflineInfo(info);
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
  EXPECT_TRUE(tim_control::Misuses().empty());
  EXPECT_EQ(GetMsgStatus(msg), 0);   // destroyed
  EXPECT_EQ(GetElemCount(conv), 0);  // wrong kind
  EXPECT_EQ(tim_control::Misuses().size(), 2u);
}

TEST_F(TimStandinTest, ElementsOfAMessageBelongToIt) {
  TIMMessageHandle msg = CreateTIMMessage();
  TIMMsgCustomElemHandle elem = CreateCustomElemHandle();
  SetCustomElemData(elem, "x", 1);
  EXPECT_EQ(AddElem(msg, elem), 0);
  DestroyElem(elem);
  ASSERT_EQ(GetElemCount(msg), 1);
  TIMMsgElemHandle view = GetElem(msg, 0);
  EXPECT_EQ(GetElemType(view), kElemCustom);
  EXPECT_EQ(GetElem(msg, 1), nullptr);
  EXPECT_EQ(GetElem(msg, -1), nullptr);
  DestroyElem(view);  // not the caller's to destroy
  EXPECT_EQ(tim_control::Misuses().size(), 1u);
  DestroyTIMMessage(msg);
  EXPECT_EQ(GetElemType(view), 0);  // gone with its message
}

TEST_F(TimStandinTest, EventsArriveOnTheStandInsThreadOrSynchronouslyOnRequest) {
  Seen seen;
  g_seen = &seen;
  TIMConnCB conn{&OnConnected, &OnDisconnected, nullptr};
  TIMSetConnCallBack(&conn);
  tim_control::RaiseConnected();
  tim_control::RaiseDisconnected(6002, "lost");
  tim_control::WaitIdle();
  EXPECT_EQ(seen.events, (std::vector<std::string>{"connected", "disconnected 6002 lost"}));
  EXPECT_NE(seen.thread, std::this_thread::get_id());

  tim_control::SetSynchronousCallbacks(true);
  tim_control::RaiseConnected();
  EXPECT_EQ(seen.events.size(), 3u);
  EXPECT_EQ(seen.thread, std::this_thread::get_id());

  TIMUninit();  // forgets the record
  tim_control::RaiseConnected();
  EXPECT_EQ(seen.events.size(), 3u);
  g_seen = nullptr;
}

TEST_F(TimStandinTest, NewMessagesComeAsSdkOwnedHandlesOfAnyShape) {
  Seen seen;
  g_seen = &seen;
  TIMMessageCB cb{&OnNewMessage, nullptr};
  TIMSetMessageCallBack(&cb);
  tim_control::MessageShape two = tim_control::CustomMessage(kCnvGroup, "G1", "7", "YQ==");
  two.elems.push_back({kElemText, "hi", "", ""});
  tim_control::MessageShape null_entry;
  null_entry.null_handle = true;
  tim_control::DeliverNewMessages({two, null_entry});
  tim_control::WaitIdle();
  EXPECT_EQ(seen.events, (std::vector<std::string>{"msg G1 elems 2", "null"}));
  EXPECT_EQ(tim_control::StoredConversationCount(), 1u);
  EXPECT_EQ(tim_control::StoredUnreadCount(kCnvGroup, "G1"), 1u);
  g_seen = nullptr;
}

std::atomic<int> g_login_outcome{-1};
void LoginOk(void*) {
  g_login_outcome = 0;
}
void LoginError(int code, const char*, void*) {
  g_login_outcome = code;
}

TEST_F(TimStandinTest, LoginFollowsItsScript) {
  TIMCommCB cb{&LoginOk, &LoginError, nullptr};
  TIMUserInfo user{"1", "2", "alice", "0", nullptr, nullptr};
  EXPECT_EQ(TIMLogin(1, &user, "sig", &cb), kTimErrNotLoggedIn);  // before TIMInit
  ASSERT_EQ(TIMInit(), 0);
  tim_control::LoginScript refused;
  refused.result = 7;
  tim_control::SetLoginScript(refused);
  EXPECT_EQ(TIMLogin(1, &user, "sig", &cb), 7);

  tim_control::LoginScript held;
  held.hold = true;
  tim_control::SetLoginScript(held);
  g_login_outcome = -1;
  ASSERT_EQ(TIMLogin(1, &user, "sig", &cb), 0);
  tim_control::WaitIdle();
  EXPECT_EQ(g_login_outcome.load(), -1);
  ASSERT_TRUE(tim_control::CompleteHeldLogin(6206));
  tim_control::WaitIdle();
  EXPECT_EQ(g_login_outcome.load(), 6206);
  EXPECT_EQ(tim_control::LoggedInUser(), "");
  ASSERT_EQ(TIMLogin(1, &user, "sig", &cb), 0);
  ASSERT_TRUE(tim_control::CompleteHeldLogin(0));
  tim_control::WaitIdle();
  EXPECT_EQ(tim_control::LoggedInUser(), "alice");
  EXPECT_EQ(tim_control::CountCalls("TIMLogin"), 4u);
  TIMUninit();
}

std::atomic<int> g_send_code{-1};
void SendOk(void*) {
  g_send_code = 0;
}
void SendError(int code, const char*, void*) {
  g_send_code = code;
}

struct Page {
  std::mutex mutex;
  std::vector<uint64_t> seqs;
  int size = -1;
  int error = 0;
};
Page* g_page = nullptr;
void PageOk(TIMMessageHandle* handles, int size, void*) {
  std::lock_guard<std::mutex> lock(g_page->mutex);
  g_page->size = size;
  for (int i = 0; i < size; ++i) g_page->seqs.push_back(GetMsgSeq(handles[i]));
}
void PageError(int code, const char*, void*) {
  std::lock_guard<std::mutex> lock(g_page->mutex);
  g_page->error = code;
}

TEST_F(TimStandinTest, SendsUpdateTheMessageAndTheStore) {
  TIMConversationHandle conv = CreateConversation();
  ASSERT_EQ(TIMGetConversation(conv, kCnvC2C, "100"), 0);
  TIMMessageHandle msg = CreateTIMMessage();
  TIMCommCB cb{&SendOk, &SendError, nullptr};
  SendMsg(conv, msg, &cb);
  tim_control::WaitIdle();
  EXPECT_EQ(g_send_code.load(), 0);
  EXPECT_EQ(GetMsgStatus(msg), kMsgStatusSuccess);
  EXPECT_TRUE(IsMsgFromSelf(msg));
  EXPECT_EQ(tim_control::StoredConversationCount(), 1u);

  tim_control::SendScript failing;
  failing.code = 80001;
  failing.status_after = kMsgStatusFail;
  tim_control::PushSendScript(failing);
  SendOnlineMsg(conv, msg, &cb);
  tim_control::WaitIdle();
  EXPECT_EQ(g_send_code.load(), 80001);
  EXPECT_EQ(GetMsgStatus(msg), kMsgStatusFail);
  DestroyTIMMessage(msg);
  DestroyConversation(conv);
}

TEST_F(TimStandinTest, HistoryPagesComeFromTheStoreOrFromAScript) {
  std::vector<tim_control::MessageShape> stored;
  for (uint64_t seq = 1; seq <= 5; ++seq) {
    auto m = tim_control::CustomMessage(kCnvC2C, "100", "100", "YQ==");
    m.seq = seq;
    stored.push_back(m);
  }
  tim_control::StoreMessages(stored);
  Page page;
  g_page = &page;
  TIMGetMsgCB cb{&PageOk, &PageError, nullptr};
  TIMConversationHandle conv = CreateConversation();
  ASSERT_EQ(TIMGetConversation(conv, kCnvC2C, "100"), 0);
  GetMsgs(conv, 3, nullptr, &cb);  // newest first
  tim_control::WaitIdle();
  EXPECT_EQ(page.seqs, (std::vector<uint64_t>{5, 4, 3}));

  TIMMessageHandle anchor =
      CreateTIMMessageHandleFromData("100", 1, 0, 0, 0, 0, 2, 2, false, false, "100", "");
  page.seqs.clear();
  GetMsgsForward(conv, 10, anchor, &cb);
  tim_control::WaitIdle();
  EXPECT_EQ(page.seqs, (std::vector<uint64_t>{3, 4, 5}));

  tim_control::HistoryScript error;
  error.code = 20002;
  tim_control::PushHistoryScript(error);
  SyncC2CRambleMsgs(conv, 3, nullptr, &cb);
  tim_control::WaitIdle();
  EXPECT_EQ(page.error, 20002);

  int count = 1;
  TIMMessageHandle last = CreateTIMMessage();
  EXPECT_EQ(GetMsgsFromCache(conv, &count, nullptr, &last), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(GetMsgSeq(last), 5u);
  count = 0;
  EXPECT_NE(GetMsgsFromCache(conv, &count, nullptr, &last), 0);

  DestroyTIMMessage(last);
  DestroyTIMMessage(anchor);
  DestroyConversation(conv);
  g_page = nullptr;
}

}  // namespace
