// Im_GetMsgList driven like a host: the three fetch modes, the anchor rebuilt for the SDK, the
// retry of a short first page, reversal and reachedEnd, filtered pages and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KuvoChat.h"
#include "chat_session_fixture.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

using tim_control::HistoryScript;
using tim_control::MessageShape;

constexpr uint32_t kUser = 9;
constexpr uint64_t kPeer = 77;

MessageShape PageMessage(int n) {
  MessageShape shape = Custom("77", Base64ForTest("m" + std::to_string(n)));
  shape.seq = 100 + static_cast<uint64_t>(n);
  shape.rand = 500 + static_cast<uint64_t>(n);
  shape.unique_id = 9000 + static_cast<uint64_t>(n);
  return shape;
}

HistoryScript Page(std::vector<int> numbers) {
  HistoryScript script;
  for (int n : numbers) script.messages.push_back(PageMessage(n));
  return script;
}

std::vector<std::string> Contents(const PageOutcome& page) {
  std::vector<std::string> out;
  for (const auto& m : page.msgs) out.push_back(m.content);
  return out;
}

tagTimMsgLocator Anchor() {
  tagTimMsgLocator anchor;
  anchor.isRead = true;
  anchor.isSelf = false;
  anchor.status = 2;
  anchor.convType = 1;
  anchor.time = 1700000123;
  anchor.rand = 4242;
  anchor.seq = 17;
  anchor.peer = "77";
  anchor.sender = "42";
  return anchor;
}

class MsgListTest : public ChatSessionTest {
 protected:
  void SetUp() override {
    ChatSessionTest::SetUp();
    Im_RegMsgCallBack(&recorder_);
    Im_RegConnCallBack(&conn_);
    LoginToLoggedIn();
    tim_control::ClearCallLog();
  }

  PageOutcome OnlyPage() {
    const auto pages = recorder_.pages();
    EXPECT_EQ(pages.size(), 1u);
    return pages.empty() ? PageOutcome() : pages[0];
  }

  static std::vector<std::string> FetchCalls() {
    std::vector<std::string> out;
    for (const auto& call : tim_control::CallLog()) {
      if (call.name == "GetMsgs" || call.name == "GetMsgsForward" ||
          call.name == "SyncC2CRambleMsgs") {
        out.push_back(call.name +
                      (call.args.size() > 2 && call.args[2] != "null" ? "+anchor" : ""));
      }
    }
    return out;
  }

  Timeline timeline_;
  MessageRecorder recorder_{&timeline_};
};

TEST_F(MsgListTest, NullAnchorAlwaysSyncsTheNewestPageWhateverTheMode) {
  for (int32_t mode : {0, 1, 2, 5}) {
    tim_control::PushHistoryScript(Page({1}));
    EXPECT_NE(Im_GetMsgList(1 /* G, a group */, 5, 1, mode, nullptr), 0u) << mode;
  }
  Settle();
  EXPECT_EQ(FetchCalls(), std::vector<std::string>(4, "SyncC2CRambleMsgs"));
  EXPECT_EQ(recorder_.pages().size(), 4u);
}

TEST_F(MsgListTest, FullFirstPageIsReversedAndNotAtTheEnd) {
  tim_control::PushHistoryScript(Page({3, 2, 1}));
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 3, 1, nullptr);
  ASSERT_NE(seq, 0u);
  Settle();
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_TRUE(page.has_list);
  EXPECT_EQ(Contents(page), (std::vector<std::string>{"m1", "m2", "m3"}));
  EXPECT_FALSE(page.reached_end);
  EXPECT_EQ(page.msgs.front().locator.seq, 101u);
  EXPECT_EQ(page.msgs.front().msgId, 9001u);
}

TEST_F(MsgListTest, ShortFirstPageIsFetchedAgainBackwardAndKeptInSdkOrder) {
  tim_control::PushHistoryScript(Page({2, 1}));
  tim_control::PushHistoryScript(Page({4, 3}));
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 5, 1, nullptr);
  Settle();
  EXPECT_EQ(FetchCalls(), (std::vector<std::string>{"SyncC2CRambleMsgs", "GetMsgs"}));
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_EQ(Contents(page), (std::vector<std::string>{"m4", "m3"}));
  EXPECT_TRUE(page.reached_end);
}

TEST_F(MsgListTest, RetryThatFillsThePageIsNotAtTheEnd) {
  tim_control::PushHistoryScript(Page({1}));
  tim_control::PushHistoryScript(Page({3, 2}));
  Im_GetMsgList(kUser, kPeer, 2, 1, nullptr);
  Settle();
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(Contents(page), (std::vector<std::string>{"m3", "m2"}));
  EXPECT_FALSE(page.reached_end);
}

TEST_F(MsgListTest, FirstPageLargerThanAskedIsFetchedAgainToo) {
  tim_control::PushHistoryScript(Page({3, 2, 1}));
  tim_control::PushHistoryScript(Page({5, 4}));
  Im_GetMsgList(kUser, kPeer, 2, 1, nullptr);
  Settle();
  EXPECT_EQ(FetchCalls(), (std::vector<std::string>{"SyncC2CRambleMsgs", "GetMsgs"}));
  EXPECT_EQ(Contents(OnlyPage()), (std::vector<std::string>{"m5", "m4"}));
}

TEST_F(MsgListTest, RetryThatFailsReportsANullList) {
  tim_control::PushHistoryScript(Page({1}));
  HistoryScript failure;
  failure.code = 70001;
  tim_control::PushHistoryScript(failure);
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 4, 1, nullptr);
  Settle();
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_FALSE(page.has_list);
  EXPECT_FALSE(page.reached_end);
}

TEST_F(MsgListTest, CountsBeyondWhatTheSdkTakesAreClamped) {
  // A count above INT_MAX is asked for as INT_MAX; a negative page size converts nothing and is
  // compared as the SDK's count (so the first page is fetched again).
  tim_control::PushHistoryScript(Page({1}));
  Im_GetMsgList(kUser, kPeer, 0x80000005u, 1, nullptr);
  Settle();
  const auto calls = tim_control::CallsNamed("SyncC2CRambleMsgs");
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_GE(calls[0].args.size(), 2u);
  EXPECT_EQ(calls[0].args[1], "2147483647");

  HistoryScript negative = Page({1, 2});
  negative.reported_size = -7;
  tim_control::PushHistoryScript(negative);
  tim_control::PushHistoryScript(Page({7}));
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 3, 2, nullptr);
  Settle();
  const auto pages = recorder_.pages();
  ASSERT_FALSE(pages.empty());
  EXPECT_EQ(pages.back().seq, seq);
  EXPECT_EQ(Contents(pages.back()), (std::vector<std::string>{"m7"}));
}

TEST_F(MsgListTest, RetryThatCannotBeIssuedIsDroppedWithoutAReport) {
  tim_control::PushHistoryScript(Page({1}));
  {
    RunnerBlocker blocker;
    ASSERT_NE(Im_GetMsgList(kUser, kPeer, 4, 1, nullptr), 0u);
    tim_control::WaitIdle();  // the short page now waits behind the blocker
    tim_control::SetGetConversationResult(1);
  }
  Settle();
  EXPECT_TRUE(recorder_.pages().empty());
  EXPECT_EQ(FetchCalls(), std::vector<std::string>{"SyncC2CRambleMsgs"});
}

TEST_F(MsgListTest, ForwardModeRebuildsTheAnchorFromTheLocator) {
  const tagTimMsgLocator anchor = Anchor();
  tim_control::PushHistoryScript(Page({5, 6}));
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 2, 2, &anchor);
  Settle();
  const auto built = tim_control::CallsNamed("CreateTIMMessageHandleFromData");
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(built[0].args, (std::vector<std::string>{"77", "1", "1700000123", "0", "0", "4242",
                                                     "17", "2", "1", "0", "42", ""}));
  EXPECT_EQ(FetchCalls(), std::vector<std::string>{"GetMsgsForward+anchor"});
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_EQ(Contents(page), (std::vector<std::string>{"m5", "m6"})) << "not reversed";
  EXPECT_FALSE(page.reached_end);
}

TEST_F(MsgListTest, OtherModesFetchBackwardFromTheAnchor) {
  const tagTimMsgLocator anchor = Anchor();
  tim_control::PushHistoryScript(Page({9}));
  Im_GetMsgList(kUser, kPeer, 3, 7, &anchor);
  Settle();
  EXPECT_EQ(FetchCalls(), std::vector<std::string>{"GetMsgs+anchor"});
  EXPECT_TRUE(OnlyPage().reached_end);
}

TEST_F(MsgListTest, AnchorThatNamesNoMessageFallsBackToGetMsgsWithoutOne) {
  tagTimMsgLocator no_sender = Anchor();
  no_sender.sender.clear();
  tagTimMsgLocator system = Anchor();
  system.convType = 3;
  tagTimMsgLocator no_seq = Anchor();
  no_seq.seq = 0;
  for (const tagTimMsgLocator* anchor : {&no_sender, &system, &no_seq}) {
    tim_control::PushHistoryScript(Page({1}));
    EXPECT_NE(Im_GetMsgList(kUser, kPeer, 1, 2, anchor), 0u);
  }
  Settle();
  EXPECT_EQ(tim_control::CountCalls("CreateTIMMessageHandleFromData"), 0u);
  EXPECT_EQ(FetchCalls(), std::vector<std::string>(3, "GetMsgs"));
  EXPECT_EQ(recorder_.pages().size(), 3u);
}

TEST_F(MsgListTest, RequestsThatCannotBeIssuedReturnZeroAndReportNothing) {
  const tagTimMsgLocator anchor = Anchor();
  EXPECT_EQ(Im_GetMsgList(kUser, kPeer, 5, 0, &anchor), 0u);
  EXPECT_EQ(Im_GetMsgList(2 /* unknown kind */, kPeer, 5, 1, nullptr), 0u);
  tim_control::SetGetConversationResult(1);
  EXPECT_EQ(Im_GetMsgList(kUser, kPeer, 5, 1, nullptr), 0u);
  Settle();
  EXPECT_TRUE(FetchCalls().empty());
  EXPECT_TRUE(recorder_.pages().empty());
  EXPECT_EQ(tim_control::LiveHandleCount(), 0u);
}

TEST_F(MsgListTest, FilteredPageIsDeliveredEmptyWithReachedEndFromTheSdkCount) {
  HistoryScript text_only;
  for (int i = 0; i < 3; ++i) {
    MessageShape shape = PageMessage(i);
    shape.elems = {tim_control::ElemShape{kElemText, "plain", "", ""}};
    text_only.messages.push_back(shape);
  }
  const tagTimMsgLocator anchor = Anchor();
  tim_control::PushHistoryScript(text_only);
  tim_control::PushHistoryScript(text_only);
  const uint64_t full = Im_GetMsgList(kUser, kPeer, 3, 2, &anchor);
  const uint64_t shorter = Im_GetMsgList(kUser, kPeer, 4, 2, &anchor);
  Settle();
  const auto pages = recorder_.pages();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].seq, full);
  EXPECT_TRUE(pages[0].has_list);
  EXPECT_TRUE(pages[0].msgs.empty());
  EXPECT_FALSE(pages[0].reached_end);
  EXPECT_EQ(pages[1].seq, shorter);
  EXPECT_TRUE(pages[1].reached_end);
}

TEST_F(MsgListTest, SdkErrorReportsANullListAndKeepsTheSession) {
  HistoryScript failure;
  failure.code = 70001;
  tim_control::PushHistoryScript(failure);
  const uint64_t seq = Im_GetMsgList(kUser, kPeer, 5, 1, nullptr);
  Settle();
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_FALSE(page.has_list);
  EXPECT_FALSE(page.reached_end);
  EXPECT_TRUE(conn_.events().empty());
  EXPECT_EQ(FetchCalls().size(), 1u) << "failures are not retried";
}

TEST_F(MsgListTest, ExpiredSignatureCodesReportThePageFirstThenLogOut) {
  conn_.set_hook([this] { timeline_.Add("conn"); });
  for (int code : {20002, 6206}) {
    HistoryScript failure;
    failure.code = code;
    tim_control::PushHistoryScript(failure);
    const uint64_t seq = Im_GetMsgList(kUser, kPeer, 5, 1, nullptr);
    Settle();
    const auto entries = timeline_.entries();
    ASSERT_EQ(entries.size(), 2u) << code;
    EXPECT_EQ(entries[0], "page:" + std::to_string(seq));
    EXPECT_EQ(entries[1], "conn");
    ASSERT_EQ(conn_.events().size(), 1u);
    EXPECT_EQ(conn_.events()[0], std::make_pair(-2, std::string("tim sig expired")));
    // Logged out: log in again for the second code.
    ASSERT_TRUE(Im_Login(kUserId, "36862", "signature"));
    Settle();
    conn_.clear();
    timeline_.clear();
  }
}

TEST_F(MsgListTest, PageHandledBeforeTheRequestCallReturnsIsStillReported) {
  // Synchronous SDK answers on the runner's own thread: the short first page is handled inside
  // the host's call, and the retry is issued there; the retry's page, raised inside the
  // library's own SDK call, is posted and reported right after.
  tim_control::SetSynchronousCallbacks(true);
  tim_control::PushHistoryScript(Page({1}));
  tim_control::PushHistoryScript(Page({2, 1}));
  uint64_t seq = 0;
  RunOnRunner([&] {
    seq = Im_GetMsgList(kUser, kPeer, 3, 1, nullptr);
    EXPECT_EQ(tim_control::CountCalls("GetMsgs"), 1u) << "retried before Im_GetMsgList returned";
    EXPECT_TRUE(recorder_.pages().empty()) << "no host call inside the library's own SDK call";
  });
  ASSERT_NE(seq, 0u);
  Settle();
  const PageOutcome page = OnlyPage();
  EXPECT_EQ(page.seq, seq);
  EXPECT_EQ(Contents(page), (std::vector<std::string>{"m2", "m1"}));
  EXPECT_TRUE(page.reached_end);
}

TEST_F(MsgListTest, StoredHistoryPagesBackwardFromARecordOfThePreviousPage) {
  std::vector<MessageShape> stored;
  for (int i = 1; i <= 5; ++i) stored.push_back(PageMessage(i));
  tim_control::StoreMessages(stored);
  Im_GetMsgList(kUser, kPeer, 2, 1, nullptr);
  Settle();
  ASSERT_EQ(recorder_.pages().size(), 1u);
  const PageOutcome newest = recorder_.pages()[0];
  EXPECT_EQ(Contents(newest), (std::vector<std::string>{"m4", "m5"}));
  const tagTimMsgLocator oldest_seen = newest.msgs.front().locator;
  Im_GetMsgList(kUser, kPeer, 2, 3, &oldest_seen);
  Settle();
  ASSERT_EQ(recorder_.pages().size(), 2u);
  EXPECT_EQ(Contents(recorder_.pages()[1]), (std::vector<std::string>{"m3", "m2"}));
}

}  // namespace
}  // namespace kuvo_test
