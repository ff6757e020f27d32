// Im_SendMsg and Im_CreateNewSeq driven like a host: wrapping, offline push, stored and
// online-only sends, outcomes through OnSendResult, and the SDK handles each path leaves behind.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "KuvoChat.h"
#include "chat_session_fixture.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

constexpr int32_t kGeneralMsg = 1001;

class SendMsgTest : public ChatSessionTest {
 protected:
  void SetUp() override {
    ChatSessionTest::SetUp();
    Im_RegMsgCallBack(&recorder_);
  }

  tagTimSendMsgInfo Message(const std::string& payload, const std::string& push = "push text") {
    tagTimSendMsgInfo info;
    info.cmd = kGeneralMsg;
    info.peerKind = 9;
    info.peerId = 77;
    info.msgId = Im_CreateNewSeq();
    info.pushText = push;
    info.payload = payload;
    return info;
  }

  static std::string OnlyArg(const char* api, size_t index) {
    const auto calls = tim_control::CallsNamed(api);
    if (calls.size() != 1 || calls[0].args.size() <= index) return "<" + std::string(api) + ">";
    return calls[0].args[index];
  }

  MessageRecorder recorder_;
};

TEST_F(SendMsgTest, WrappedMessageCarriesAllHeaderFieldsAndIsReportedSent) {
  LoginToLoggedIn();
  const tagTimSendMsgInfo info = Message("abc");
  ASSERT_TRUE(Im_SendMsg(&info, false, true));
  Settle();

  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_TRUE(sends[0].ok);
  EXPECT_EQ(sends[0].seq, info.msgId);
  const tagTimMsgInfo& msg = sends[0].msg;
  EXPECT_EQ(msg.peerKind, 9u);
  EXPECT_EQ(msg.peerId, 77u);
  EXPECT_EQ(msg.desc, "push text");
  EXPECT_EQ(msg.locator.peer, "77");
  EXPECT_EQ(msg.locator.status, 2);
  EXPECT_TRUE(msg.locator.isSelf);
  EXPECT_EQ(msg.locator.sender, std::to_string(kUserId));

  std::map<int, WireField> header;
  ASSERT_TRUE(ParseWire(msg.content, &header));
  ASSERT_EQ(header.size(), 6u);
  EXPECT_EQ(header[1].varint, 1001u);
  EXPECT_EQ(header[2].varint, info.msgId);
  EXPECT_EQ(header[3].varint, 11151u);
  EXPECT_EQ(header[4].wire_type, 0);
  EXPECT_EQ(header[4].varint, 0u);
  EXPECT_EQ(header[5].wire_type, 0);
  EXPECT_EQ(header[5].varint, 0u);
  EXPECT_EQ(header[6].bytes, "abc");

  EXPECT_EQ(tim_control::CountCalls("SendMsg"), 1u);
  EXPECT_EQ(tim_control::CountCalls("SendOnlineMsg"), 0u);
  EXPECT_EQ(tim_control::CountCalls("SetMsgOfflinePushInfo"), 1u);
  EXPECT_EQ(OnlyArg("SetDesc4TIMTIMOfflineInfo", 1), "push text");
  EXPECT_EQ(OnlyArg("SetCustomElemExt", 1), "");
  EXPECT_EQ(tim_control::CountCalls("AddElem"), 1u);
}

TEST_F(SendMsgTest, UnwrappedPayloadTravelsAsItIsAndOnlineOnlyUsesSendOnlineMsg) {
  LoginToLoggedIn();
  const std::string payload("\x00\x01raw\xFF", 6);
  const tagTimSendMsgInfo info = Message(payload);
  ASSERT_TRUE(Im_SendMsg(&info, true, false));
  Settle();
  EXPECT_EQ(tim_control::CountCalls("SendOnlineMsg"), 1u);
  EXPECT_EQ(tim_control::CountCalls("SendMsg"), 0u);
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].msg.content, payload);
}

TEST_F(SendMsgTest, EmptyPayloadWithoutWrappingIsRefusedBeforeAnySdkCall) {
  LoginToLoggedIn();
  const tagTimSendMsgInfo info = Message("");
  tim_control::ClearCallLog();
  EXPECT_FALSE(Im_SendMsg(&info, false, false));
  EXPECT_TRUE(tim_control::CallLog().empty());
  Settle();
  EXPECT_TRUE(recorder_.sends().empty());
}

TEST_F(SendMsgTest, EmptyPayloadWithWrappingSendsAHeaderWithEmptyBuf) {
  LoginToLoggedIn();
  const tagTimSendMsgInfo info = Message("");
  ASSERT_TRUE(Im_SendMsg(&info, false, true));
  Settle();
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  std::map<int, WireField> header;
  ASSERT_TRUE(ParseWire(sends[0].msg.content, &header));
  ASSERT_EQ(header.size(), 6u);
  EXPECT_EQ(header[6].wire_type, 2);
  EXPECT_TRUE(header[6].bytes.empty());
}

TEST_F(SendMsgTest, EmptyPushTextSendsNoOfflineInfoButStillTheElement) {
  LoginToLoggedIn();
  const tagTimSendMsgInfo info = Message("p", "");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  Settle();
  EXPECT_EQ(tim_control::CountCalls("SetMsgOfflinePushInfo"), 0u);
  EXPECT_EQ(tim_control::CountCalls("SetDesc4TIMTIMOfflineInfo"), 0u);
  EXPECT_EQ(OnlyArg("SetCustomElemDesc", 1), "");
  EXPECT_EQ(OnlyArg("SetCustomElemData", 1), "cA==");
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].msg.content, "p");
  EXPECT_TRUE(sends[0].msg.desc.empty());
}

TEST_F(SendMsgTest, RefusedRecordsLeaveNothingPending) {
  LoginToLoggedIn();
  tim_control::ClearCallLog();
  EXPECT_FALSE(Im_SendMsg(nullptr, false, true));
  tagTimSendMsgInfo unknown_kind = Message("p");
  unknown_kind.peerKind = 2;
  EXPECT_FALSE(Im_SendMsg(&unknown_kind, false, true));
  // A command outside cmdType would make a header no peer can parse.
  tagTimSendMsgInfo bad_cmd = Message("p");
  bad_cmd.cmd = 1005;
  EXPECT_FALSE(Im_SendMsg(&bad_cmd, false, true));
  EXPECT_TRUE(tim_control::CallLog().empty());
  // Without wrapping the command is not used.
  EXPECT_TRUE(Im_SendMsg(&bad_cmd, false, false));
  Settle();
  EXPECT_EQ(recorder_.sends().size(), 1u);
}

TEST_F(SendMsgTest, ConversationThatCannotBeHadFailsAndFreesItsHandles) {
  LoginToLoggedIn();
  tim_control::SetGetConversationResult(1);
  const tagTimSendMsgInfo info = Message("p");
  EXPECT_FALSE(Im_SendMsg(&info, false, true));
  EXPECT_EQ(tim_control::CountCalls("SendMsg"), 0u);
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
  Settle();
  EXPECT_TRUE(recorder_.sends().empty());
}

TEST_F(SendMsgTest, SdkErrorIsReportedNotSentWithTheFailedRecord) {
  LoginToLoggedIn();
  tim_control::SendScript script;
  script.code = 80001;
  script.status_after = kMsgStatusFail;
  tim_control::PushSendScript(script);
  const tagTimSendMsgInfo info = Message("p");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  Settle();
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_FALSE(sends[0].ok);
  EXPECT_EQ(sends[0].seq, info.msgId);
  EXPECT_EQ(sends[0].msg.locator.status, 3);
  EXPECT_EQ(sends[0].msg.content, "p");
}

TEST_F(SendMsgTest, AnSdkErrorWithCodeZeroIsStillReportedNotSent) {
  LoginToLoggedIn();
  tim_control::SendScript script;
  script.as_error = true;  // OnError(0, ...)
  script.status_after = 3;
  tim_control::PushSendScript(script);
  const tagTimSendMsgInfo info = Message("abc");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  Settle();
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_FALSE(sends[0].ok);
  EXPECT_EQ(sends[0].seq, info.msgId);
}

TEST_F(SendMsgTest, OfflinePushCarriesFlagZeroAnEmptyExtAndAndroidModeZero) {
  LoginToLoggedIn();
  const tagTimSendMsgInfo info = Message("abc", "new message");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  Settle();
  EXPECT_EQ(OnlyArg("SetFlag4TIMTIMOfflineInfo", 1), "0");
  EXPECT_EQ(OnlyArg("SetDesc4TIMTIMOfflineInfo", 1), "new message");
  EXPECT_EQ(OnlyArg("SetDesc4TIMTIMOfflineInfo", 2), "11");
  EXPECT_EQ(OnlyArg("SetExt4TIMTIMOfflineInfo", 1), "");
  EXPECT_EQ(OnlyArg("SetExt4TIMTIMOfflineInfo", 2), "0");
  EXPECT_EQ(OnlyArg("SetNotifyMode4AndroidTIMTIMOfflineInfo", 1), "0");
  EXPECT_EQ(tim_control::CountCalls("SetMsgOfflinePushInfo"), 1u);
}

TEST_F(SendMsgTest, OutcomeWhoseRecordCannotBeBuiltIsDroppedWithoutAReport) {
  LoginToLoggedIn();
  tim_control::SendScript script;
  script.status_after = kMsgStatusSending;  // no record is built for a message still sending
  tim_control::PushSendScript(script);
  const tagTimSendMsgInfo info = Message("p");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  Settle();
  EXPECT_TRUE(recorder_.sends().empty());
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
}

TEST_F(SendMsgTest, TwoPendingSendsWithOneNumberAreReportedOnce) {
  LoginToLoggedIn();
  tim_control::SendScript held;
  held.hold = true;
  tim_control::PushSendScript(held);
  tim_control::PushSendScript(held);
  const tagTimSendMsgInfo first = Message("first");
  tagTimSendMsgInfo second = Message("second");
  second.msgId = first.msgId;
  ASSERT_TRUE(Im_SendMsg(&first, false, false));
  ASSERT_TRUE(Im_SendMsg(&second, false, false));
  EXPECT_EQ(tim_control::CompleteHeldSends(), 2u);
  Settle();
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].seq, first.msgId);
  EXPECT_EQ(sends[0].msg.content, "second") << "the send left in the table is reported";
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u) << "the pushed-out send freed its handles";
}

TEST_F(SendMsgTest, OutcomeHandledBeforeTheSendCallReturnsIsStillReported) {
  LoginToLoggedIn();
  // Synchronous SDK answers on the runner's own thread: the outcome is handled inside SendMsg.
  tim_control::SetSynchronousCallbacks(true);
  tagTimSendMsgInfo info;
  bool started = false;
  RunOnRunner([&] {
    info = Message("early");
    started = Im_SendMsg(&info, false, false);
    EXPECT_EQ(recorder_.sends().size(), 1u) << "reported before Im_SendMsg returned";
  });
  EXPECT_TRUE(started);
  Settle();
  const auto sends = recorder_.sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_TRUE(sends[0].ok);
  EXPECT_EQ(sends[0].seq, info.msgId);
}

TEST_F(SendMsgTest, UnInitFreesSendsTheSdkWillNoLongerAnswer) {
  LoginToLoggedIn();
  tim_control::SendScript held;
  held.hold = true;
  tim_control::PushSendScript(held);
  const tagTimSendMsgInfo info = Message("late");
  ASSERT_TRUE(Im_SendMsg(&info, false, false));
  EXPECT_GT(tim_control::LiveHandleCount(), 0u);
  Im_UnInit();
  // A report that was being handled as Im_UnInit ran may keep the manager until it finishes.
  Settle();
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
  EXPECT_EQ(tim_control::CompleteHeldSends(), 0u);
  Settle();
  EXPECT_TRUE(recorder_.sends().empty());
}

TEST_F(SendMsgTest, SequenceNumbersAreSharedWithHistoryRequests) {
  EXPECT_EQ(Im_CreateNewSeq(), 1u);
  EXPECT_EQ(Im_CreateNewSeq(), 2u);
  // Kind 2 is unknown: the request is not issued but still uses up number 3.
  EXPECT_EQ(Im_GetMsgList(2, 5, 10, 1, nullptr), 0u);
  EXPECT_EQ(Im_CreateNewSeq(), 4u);
  LoginToLoggedIn();
  EXPECT_EQ(Im_GetMsgList(9, 77, 10, 1, nullptr), 5u);
  EXPECT_EQ(Im_CreateNewSeq(), 6u);
  Settle();
}

}  // namespace
}  // namespace kuvo_test
