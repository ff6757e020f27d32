// The conversation exports driven like a host: the recent list (at most 100, in the SDK's
// order, only conversations the host may see), unread counts, read marks and removal.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "KuvoChat.h"
#include "chat_session_fixture.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

using tim_control::MessageShape;

MessageShape Incoming(const std::string& peer, TIMConversationType type = kCnvC2C) {
  return tim_control::CustomMessage(type, peer, "42", "YWJj", "last desc", "");
}

class TalksTest : public ChatSessionTest {
 protected:
  void SetUp() override {
    ChatSessionTest::SetUp();
    Im_RegSessionCallBack(&session_);
    LoginToLoggedIn();
  }

  SessionRecorder session_;
};

TEST_F(TalksTest, RecentListGivesTheFirstHundredOfOneHundredFiftyInSdkOrder) {
  std::vector<MessageShape> messages;
  for (int i = 0; i < 150; ++i) messages.push_back(Incoming(std::to_string(1000 + i)));
  tim_control::StoreMessages(messages);  // the SDK lists the newest activity first
  Im_GetRecentList();
  const auto lists = session_.lists();
  ASSERT_EQ(lists.size(), 1u);
  ASSERT_EQ(lists[0].size(), 100u);
  for (size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(lists[0][i].peerId, 1149u - i) << i;
  }
}

TEST_F(TalksTest, RecentListIsDeliveredOnTheCallingThreadBeforeReturning) {
  tim_control::StoreMessages({Incoming("5")});
  Im_GetRecentList();
  ASSERT_EQ(session_.list_threads().size(), 1u);
  EXPECT_EQ(session_.list_threads()[0], std::this_thread::get_id());
}

TEST_F(TalksTest, RecentListEntryIsFilledFromTheLastMessage) {
  MessageShape older = Incoming("G88", kCnvGroup);
  MessageShape last = Incoming("G88", kCnvGroup);
  last.sender = "123456789012";
  last.unique_id = 777;
  last.time = 1700000999;
  last.elems[0].desc = "newest";
  tim_control::StoreMessages({older, last});
  Im_GetRecentList();
  ASSERT_EQ(session_.lists().size(), 1u);
  ASSERT_EQ(session_.lists()[0].size(), 1u);
  const tagTimTalkInfo talk = session_.lists()[0][0];
  EXPECT_EQ(talk.peerKind, 1u);
  EXPECT_EQ(talk.peerId, 88u);
  EXPECT_EQ(talk.unreadCount, 2);
  EXPECT_EQ(talk.time, 1700000999u);
  EXPECT_EQ(talk.msgId, 777u);
  EXPECT_EQ(talk.senderId, 123456789012);
  EXPECT_EQ(talk.lastDesc, "newest");
  EXPECT_EQ(talk.reserved1, 0);
  EXPECT_EQ(talk.reserved2, 0);
  EXPECT_TRUE(talk.reservedText.empty());
}

TEST_F(TalksTest, RecentListLeavesOutConversationsTheHostMayNotSee) {
  MessageShape text_only = Incoming("301");
  text_only.elems = {tim_control::ElemShape{kElemText, "plain", "", ""}};
  MessageShape sender_unreadable = Incoming("302");
  sender_unreadable.faults["GetMsgSender"] = tim_control::QueryFault{0, 0};
  MessageShape odd_sender = Incoming("303");
  odd_sender.sender = "guest_9";
  tim_control::StoreMessages({Incoming("300"), Incoming("system_1", kCnvSystem),
                              Incoming("cscmd_7"), Incoming("webimsvr_1"), text_only,
                              sender_unreadable, odd_sender});
  Im_GetRecentList();
  const auto lists = session_.lists();
  ASSERT_EQ(lists.size(), 1u);
  std::vector<uint64_t> ids;
  for (const auto& talk : lists[0]) ids.push_back(talk.peerId);
  EXPECT_EQ(ids, (std::vector<uint64_t>{303, 300}));
  EXPECT_EQ(lists[0][0].senderId, 0) << "a sender that is no number";
}

TEST_F(TalksTest, RecentListWalkStaysBoundedAgainstALyingCount) {
  tim_control::StoreMessages({Incoming("1"), Incoming("2"), Incoming("3")});
  tim_control::SetConversationCountAnswer(UINT64_C(1) << 40);
  Im_GetRecentList();  // returns: the walk does not go on for the count the SDK claimed
  ASSERT_EQ(session_.lists().size(), 1u);
  EXPECT_EQ(session_.lists()[0].size(), 3u);
  EXPECT_LE(tim_control::CountCalls("TIMGetConversationByIndex"), 10000u);
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
}

TEST_F(TalksTest, RecentListWalkReadsNoAnswerOfTheIndexLookUp) {
  tim_control::StoreMessages({Incoming("1"), Incoming("2")});
  tim_control::SetConversationByIndexAnswer(1);  // filled all the same
  Im_GetRecentList();
  ASSERT_EQ(session_.lists().size(), 1u);
  EXPECT_EQ(session_.lists()[0].size(), 2u);
  EXPECT_EQ(tim_control::CountCalls("TIMGetConversationByIndex"), 2u);
}

TEST_F(TalksTest, UnreadCountsSaturateAndSenderNumbersClampInsteadOfWrapping) {
  MessageShape huge = Incoming("61");
  huge.sender = "99999999999999999999";
  MessageShape negative = Incoming("62");
  negative.sender = "-99999999999999999999";
  tim_control::StoreMessages({huge, negative});
  ASSERT_TRUE(tim_control::SetUnreadCount(kCnvC2C, "61", UINT64_C(1) << 40));
  ASSERT_TRUE(tim_control::SetUnreadCount(kCnvC2C, "62", 0x80000000u));
  EXPECT_EQ(Im_GetTalkUnReadCnt(9, 61), INT32_MAX);
  EXPECT_EQ(Im_GetTalkUnReadCnt(9, 62), INT32_MAX);
  Im_GetRecentList();
  const auto lists = session_.lists();
  ASSERT_EQ(lists.size(), 1u);
  const auto& talks = lists[0];
  ASSERT_EQ(talks.size(), 2u);
  for (const auto& talk : talks) {
    EXPECT_EQ(talk.unreadCount, INT32_MAX) << talk.peerId;
    EXPECT_EQ(talk.senderId, talk.peerId == 61 ? INT64_MAX : INT64_MIN);
  }
}

TEST_F(TalksTest, EmptyRecentListCallsNoCallback) {
  tim_control::StoreMessages({Incoming("cscmd_1")});
  Im_GetRecentList();
  EXPECT_TRUE(session_.lists().empty());
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
}

TEST_F(TalksTest, UnreadCountAndReadMark) {
  tim_control::StoreMessages(
      {Incoming("D9", kCnvGroup), Incoming("D9", kCnvGroup), Incoming("D9", kCnvGroup)});
  EXPECT_EQ(Im_GetTalkUnReadCnt(3, 9), 3);
  EXPECT_EQ(Im_GetTalkUnReadCnt(1, 9), 0) << "G9 is another conversation";
  Im_SetReadMsg(3, 9);
  EXPECT_EQ(tim_control::StoredUnreadCount(kCnvGroup, "D9"), 0u);
  EXPECT_EQ(Im_GetTalkUnReadCnt(3, 9), 0);
}

TEST_F(TalksTest, ConversationExportsFailQuietlyForUnknownKindsAndMissingConversations) {
  tim_control::StoreMessages({Incoming("9")});
  tim_control::ClearCallLog();
  EXPECT_EQ(Im_GetTalkUnReadCnt(2, 9), 0);
  Im_SetReadMsg(2, 9);
  EXPECT_EQ(Im_RemoveTalk(2, 9, true), 0);
  EXPECT_TRUE(tim_control::CallLog().empty()) << "unknown kinds make no SDK call";

  tim_control::SetGetConversationResult(1);
  EXPECT_EQ(Im_GetTalkUnReadCnt(9, 9), 0);
  Im_SetReadMsg(9, 9);
  EXPECT_EQ(Im_RemoveTalk(9, 9, false), 0);
  EXPECT_EQ(tim_control::CountCalls("SetReadMsg"), 0u);
  EXPECT_EQ(tim_control::CountCalls("TIMDeleteConversation"), 0u);
  EXPECT_EQ(tim_control::StoredUnreadCount(kCnvC2C, "9"), 1u);
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
}

TEST_F(TalksTest, RemoveTalkMarksReadFirstThenDeletes) {
  tim_control::StoreMessages({Incoming("matter_remind_5", kCnvGroup), Incoming("cd_6")});
  tim_control::ClearCallLog();
  EXPECT_EQ(Im_RemoveTalk(51, 5, false), 1);
  EXPECT_EQ(Im_RemoveTalk(20, 6, true), 1);
  std::vector<std::string> order;
  for (const auto& call : tim_control::CallLog()) {
    if (call.name == "SetReadMsg" || call.name.rfind("TIMDelete", 0) == 0) {
      order.push_back(call.name);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"SetReadMsg", "TIMDeleteConversation", "SetReadMsg",
                                             "TIMDeleteConversationAndMsgs"}));
  EXPECT_EQ(tim_control::StoredConversationCount(), 0u);
  // Already gone: the SDK's answer (false) is passed on.
  EXPECT_EQ(Im_RemoveTalk(51, 5, false), 0);
}

}  // namespace
}  // namespace kuvo_test
