// The new-message path: conversion filters, record fields, base64 payloads, the SDK's length
// protocol, and the holding of records until the host releases delivery.
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chat_session_fixture.h"
#include "kuvocore_control.h"

namespace kuvo_test {
namespace {

using tim_control::MessageShape;

std::vector<std::string> Contents(const std::vector<tagTimMsgInfo>& batch) {
  std::vector<std::string> out;
  for (const auto& m : batch) out.push_back(m.content);
  return out;
}

class NewMessagesTest : public ChatSessionTest {
 protected:
  void SetUp() override {
    ChatSessionTest::SetUp();
    Im_RegMsgCallBack(&msg_);
    LoginToLoggedIn();
  }
  // Delivers one batch, releases delivery, and gives what reached the host.
  std::vector<tagTimMsgInfo> DeliverReleased(const std::vector<MessageShape>& batch) {
    Im_NotifyReleaseData();
    tim_control::DeliverNewMessages(batch);
    Settle();
    std::vector<tagTimMsgInfo> all;
    for (const auto& b : msg_.batches()) all.insert(all.end(), b.begin(), b.end());
    return all;
  }
};

TEST_F(NewMessagesTest, BatchesBeforeReleaseArriveAsOneListInArrivalOrder) {
  tim_control::DeliverNewMessages({Custom("100", "YQ=="), Custom("G7", "Yg==", kCnvGroup)});
  tim_control::DeliverNewMessages({Custom("101", "Yw==")});
  Settle();
  EXPECT_TRUE(msg_.batches().empty());
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImNewMessage] count=2,ReleaseData=0"));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImNewMessage] count=3,ReleaseData=0"));

  Im_NotifyReleaseData();  // delivers on this thread, before returning
  auto batches = msg_.batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(Contents(batches[0]), (std::vector<std::string>{"a", "b", "c"}));

  tim_control::DeliverNewMessages({Custom("102", "ZA==")});
  Settle();
  batches = msg_.batches();
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(Contents(batches[1]), (std::vector<std::string>{"d"}));
  EXPECT_TRUE(DebugOutputReader::Contains("[IM][CImMgr::OnImNewMessage] count=1"));

  Im_NotifyReleaseData();  // nothing held: nothing delivered
  EXPECT_EQ(msg_.batches().size(), 2u);
}

// Records each OnNewMsgs call with its thread, and runs `hook` inside the first.
class ThreadedMsgs final : public IMsgCallBack {
 public:
  struct Call {
    std::thread::id thread;
    std::vector<std::string> contents;
  };
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::function<void()> hook;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Call call{std::this_thread::get_id(), {}};
      for (const auto& m : *msgs) call.contents.push_back(m.content);
      calls_.push_back(call);
      hook.swap(hook_);
    }
    if (hook) hook();
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  void set_hook(std::function<void()> hook) { hook_ = std::move(hook); }
  std::vector<Call> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<Call> calls_;
  std::function<void()> hook_;
};

TEST_F(NewMessagesTest, TheHandOverGivesWhatWasHeldAndWhatArrivesMeanwhileFollowsOnTheRunner) {
  Im_RemoveMsgCallBack(&msg_);
  ThreadedMsgs msgs;
  Im_RegMsgCallBack(&msgs);
  tim_control::DeliverNewMessages({Custom("100", "YQ=="), Custom("100", "Yg==")});
  Settle();
  msgs.set_hook([] {
    // Two batches reach the runner while the held one is being handed over.
    tim_control::DeliverNewMessages({Custom("100", "Yw==")});
    tim_control::DeliverNewMessages({Custom("100", "ZA=="), Custom("100", "ZQ==")});
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  });
  Im_NotifyReleaseData();
  Settle();
  const auto calls = msgs.calls();
  ASSERT_EQ(calls.size(), 3u) << "each batch in a call of its own";
  EXPECT_EQ(calls[0].contents, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(calls[0].thread, std::this_thread::get_id()) << "what was held, on this thread";
  EXPECT_EQ(calls[1].contents, std::vector<std::string>{"c"});
  EXPECT_EQ(calls[2].contents, (std::vector<std::string>{"d", "e"}));
  EXPECT_NE(calls[1].thread, std::this_thread::get_id()) << "what arrived meanwhile, on the runner";
  EXPECT_EQ(calls[2].thread, calls[1].thread);
}

TEST_F(NewMessagesTest, EveryLogoutWithdrawsTheRelease) {
  Im_NotifyReleaseData();
  Im_Loginout();
  ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
  Settle();
  tim_control::DeliverNewMessages({Custom("100", "YQ==")});
  Settle();
  EXPECT_TRUE(msg_.batches().empty());
  Im_NotifyReleaseData();
  ASSERT_EQ(msg_.batches().size(), 1u);
}

TEST_F(NewMessagesTest, HeldRecordsSurviveALogout) {
  tim_control::DeliverNewMessages({Custom("100", "YQ==")});
  Settle();
  Im_Loginout();
  Im_NotifyReleaseData();
  ASSERT_EQ(msg_.batches().size(), 1u);
  EXPECT_EQ(msg_.batches()[0][0].content, "a");
}

TEST_F(NewMessagesTest, EveryMessageCallbackGetsTheBatch) {
  RecordingMsg other;
  Im_RegMsgCallBack(&other);
  tim_control::DeliverNewMessages({Custom("100", "YQ==")});
  Settle();
  Im_NotifyReleaseData();
  EXPECT_EQ(msg_.total(), 1u);
  EXPECT_EQ(other.total(), 1u);
  Im_RemoveMsgCallBack(&other);
}

TEST_F(NewMessagesTest, TheRecordCarriesTheMessageAsTheSdkHoldsIt) {
  MessageShape shape = Custom("matter_customer_visit_88", "AAEC/w==", kCnvGroup);
  shape.sender = "user_42";
  shape.seq = 77;
  shape.rand = 123456789;
  shape.time = 1700000123;
  shape.unique_id = 0xFEDCBA9876543210ull;
  shape.is_read = true;
  shape.is_self = true;
  shape.elems[0].desc = "push text";
  shape.elems[0].ext = std::string("e\0x", 3);
  const auto got = DeliverReleased({shape});
  ASSERT_EQ(got.size(), 1u);
  const tagTimMsgInfo& m = got[0];
  EXPECT_EQ(m.flag, 0);
  EXPECT_EQ(m.peerKind, 53u);
  EXPECT_EQ(m.peerId, 88u);
  EXPECT_EQ(m.msgId, 0xFEDCBA9876543210ull);
  EXPECT_EQ(m.content, std::string("\x00\x01\x02\xff", 4));
  EXPECT_EQ(m.desc, "push text");
  EXPECT_EQ(m.ext, std::string("e\0x", 3));
  EXPECT_TRUE(m.locator.isRead);
  EXPECT_TRUE(m.locator.isSelf);
  EXPECT_EQ(m.locator.status, 2);
  EXPECT_EQ(m.locator.convType, 2);
  EXPECT_EQ(m.locator.time, 1700000123u);
  EXPECT_EQ(m.locator.rand, 123456789u);
  EXPECT_EQ(m.locator.seq, 77u);
  EXPECT_EQ(m.locator.peer, "matter_customer_visit_88");
  EXPECT_EQ(m.locator.sender, "user_42");
}

TEST_F(NewMessagesTest, OnlyMessagesOfExactlyOneCustomElementAreReported) {
  MessageShape text_only = Custom("100", "YQ==");
  text_only.elems[0].type = kElemText;
  MessageShape two_custom = Custom("100", "YQ==");
  two_custom.elems.push_back(two_custom.elems[0]);
  MessageShape image_then_custom = Custom("100", "YQ==");
  image_then_custom.elems.insert(image_then_custom.elems.begin(), {kElemImage, "", "", ""});
  MessageShape no_elements = Custom("100", "YQ==");
  no_elements.elems.clear();
  const auto got = DeliverReleased(
      {text_only, two_custom, image_then_custom, no_elements, Custom("100", "b2s=")});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].content, "ok");
}

TEST_F(NewMessagesTest, SystemConversationsAndUnsentStatusesAreNotReported) {
  std::vector<MessageShape> batch;
  batch.push_back(Custom("100", "YQ==", kCnvSystem));
  batch.push_back(Custom("100", "YQ==", kCnvNone));
  for (int status : {1, 3, 4, 5}) {
    MessageShape shape = Custom("100", "YQ==");
    shape.status = status;
    batch.push_back(shape);
  }
  MessageShape unknown_conversation = Custom("100", "YQ==");
  unknown_conversation.conversation_from_msg_result = 1;
  batch.push_back(unknown_conversation);
  batch.push_back(Custom("100", "b2s="));
  const auto got = DeliverReleased(batch);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].content, "ok");
}

TEST_F(NewMessagesTest, PeersAreClassifiedAndFiltered) {
  const auto got = DeliverReleased({Custom("cscmd_7", "MQ=="), Custom("guest_7", "Mg=="),
                                    Custom("webimsvr_1", "Mw=="), Custom("", "NA=="),
                                    Custom("system_notice", "NQ=="),
                                    Custom("G1001", "Ng==", kCnvGroup), Custom("007", "Nw==")});
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].content, "1");
  EXPECT_EQ(got[0].peerKind, 0u);
  EXPECT_EQ(got[0].peerId, 0u);
  EXPECT_EQ(got[0].locator.peer, "cscmd_7");
  EXPECT_EQ(got[1].locator.peer, "system_notice");
  EXPECT_EQ(got[1].peerKind, 0u);
  EXPECT_EQ(got[2].peerKind, 1u);
  EXPECT_EQ(got[2].peerId, 1001u);
  EXPECT_EQ(got[3].peerKind, 9u);
  EXPECT_EQ(got[3].peerId, 7u);
}

TEST_F(NewMessagesTest, APeerTextFillingTheWholeBufferIsReadWithinIt) {
  const std::string long_peer = "cd_" + std::string(400, '9');
  const auto got = DeliverReleased({Custom(long_peer, "YQ==")});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].locator.peer, long_peer.substr(0, 256));
  EXPECT_EQ(got[0].peerKind, 20u);
}

TEST_F(NewMessagesTest, Base64PayloadsDecodeUpToTheFirstOutsider) {
  const auto got =
      DeliverReleased({Custom("100", "YWJj"), Custom("100", "YWI="), Custom("100", "YWJj\nZGVm"),
                       Custom("100", "YWJjZ"), Custom("100", "")});
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].content, "abc");
  EXPECT_EQ(got[1].content, "ab");
  EXPECT_EQ(got[2].content, "abc");
  EXPECT_EQ(got[3].content, "abc");
  EXPECT_EQ(got[4].content, "");
}

TEST_F(NewMessagesTest, EmptyDescAndExtStayEmpty) {
  const auto got = DeliverReleased({tim_control::CustomMessage(kCnvC2C, "100", "42", "YQ==")});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].desc, "");
  EXPECT_EQ(got[0].ext, "");
}

TEST_F(NewMessagesTest, BadLengthAnswersDropOnlyTheirMessage) {
  std::vector<MessageShape> batch;
  const char* getters[] = {"GetMsgSender", "GetCustomElemData", "GetCustomElemDesc",
                           "GetCustomElemExt"};
  for (const char* getter : getters) {
    MessageShape not_minus_two = Custom("100", "YQ==");
    not_minus_two.faults[getter] = {0, 5};
    batch.push_back(not_minus_two);
    MessageShape huge = Custom("100", "YQ==");
    huge.faults[getter] = {-2, 0xFFFFFFFFull};
    batch.push_back(huge);
  }
  MessageShape shorter = Custom("100", "YWJjZGVm");
  shorter.faults["GetCustomElemData"] = {-2, 4};  // reports 4 of 8: only 4 are read
  batch.push_back(shorter);
  MessageShape good = Custom("100", "b2s=");
  batch.push_back(good);
  const auto got = DeliverReleased(batch);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].content, "abc");
  EXPECT_EQ(got[1].content, "ok");
}

TEST_F(NewMessagesTest, NullHandlesAreSkipped) {
  MessageShape null_entry = Custom("100", "YQ==");
  null_entry.null_handle = true;
  const auto got = DeliverReleased({null_entry, Custom("100", "b2s=")});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].content, "ok");
}

TEST_F(NewMessagesTest, ABatchWithNothingToReportRaisesNothingAndLogsNothing) {
  MessageShape text_only = Custom("100", "YQ==");
  text_only.elems[0].type = kElemText;
  tim_control::DeliverNewMessages({text_only, Custom("guest_1", "YQ==")});
  Settle();
  Im_NotifyReleaseData();
  EXPECT_TRUE(msg_.batches().empty());
  EXPECT_TRUE(DebugOutputReader::LinesStartingWith("[IM][CImMgr::OnImNewMessage]").empty());
}

}  // namespace
}  // namespace kuvo_test
