// Every export called from every host callback, as hosts do: directly on the callback's thread,
// and handed to the host's UI thread while the callback waits until it ran there (SendMessage
// style). Each case has a time limit: one that runs out is reported as a deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "chat_session_fixture.h"
#include "host_ui_thread.h"
#include "message_recorder.h"
#include "tim/tim_control.h"

namespace kuvo_test {
namespace {

constexpr uint32_t kUser = 9;  // PeerKind of a one-to-one conversation with "100"
constexpr uint64_t kPeer = 100;

enum class Callback {
  kConnEvent,
  kNewMsgs,   // on the runner
  kHandOver,  // Im_NotifyReleaseData's hand-over, on the UI thread
  kSendResult,
  kMsgListResult,
  kSessionChanged,
  kRecentList,  // Im_GetRecentList's list, on the UI thread
};

const char* Name(Callback c) {
  switch (c) {
    case Callback::kConnEvent:
      return "OnConnEvent";
    case Callback::kNewMsgs:
      return "OnNewMsgs";
    case Callback::kHandOver:
      return "OnNewMsgs (hand-over)";
    case Callback::kSendResult:
      return "OnSendResult";
    case Callback::kMsgListResult:
      return "OnMsgListResult";
    case Callback::kSessionChanged:
      return "OnSessionChanged";
    case Callback::kRecentList:
      return "OnRecentList";
  }
  return "?";
}

// Runs `action` once, inside the first call of the target callback.
class MatrixHost final : public IConnCallBack, public IMsgCallBack, public ISessionCallBack {
 public:
  MatrixHost(Callback target, const HostUiThread* ui, std::function<void()> action)
      : target_(target), ui_(ui), action_(std::move(action)) {}
  void OnConnEvent(int32_t, std::string) override { Hit(Callback::kConnEvent); }
  void OnNewMsgs(const TimMsgList*) override {
    Hit(ui_->IsCurrent() ? Callback::kHandOver : Callback::kNewMsgs);
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override { Hit(Callback::kSendResult); }
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {
    Hit(Callback::kMsgListResult);
  }
  void OnRecentList(const TimTalkList*) override { Hit(Callback::kRecentList); }
  void OnSessionChanged(const TimChangedPeers*) override { Hit(Callback::kSessionChanged); }
  Signal& done() { return done_; }

 private:
  void Hit(Callback c) {
    if (c != target_ || fired_.exchange(true)) return;
    action_();
    done_.Set();
  }
  const Callback target_;
  const HostUiThread* ui_;
  std::function<void()> action_;
  std::atomic<bool> fired_{false};
  Signal done_;
};

struct Export {
  const char* name;
  std::function<void(MatrixHost*)> call;
};

class HostPatternsTest : public ChatSessionTest {
 protected:
  std::vector<Export> Exports() {
    return {
        {"Im_CreateNewSeq", [](MatrixHost*) { Im_CreateNewSeq(); }},
        {"Im_GetMsgList", [](MatrixHost*) { Im_GetMsgList(kUser, kPeer, 2, 1, nullptr); }},
        {"Im_GetRecentList", [](MatrixHost*) { Im_GetRecentList(); }},
        {"Im_GetTalkUnReadCnt", [](MatrixHost*) { Im_GetTalkUnReadCnt(kUser, kPeer); }},
        {"Im_Init", [](MatrixHost*) { Im_Init(kAppId, 0, DataPath().c_str()); }},
        {"Im_Login", [](MatrixHost*) { Im_Login(kUserId, "36862", "sig"); }},
        {"Im_Loginout", [](MatrixHost*) { Im_Loginout(); }},
        {"Im_NotifyReleaseData", [](MatrixHost*) { Im_NotifyReleaseData(); }},
        {"Im_RegConnCallBack", [this](MatrixHost*) { Im_RegConnCallBack(&extra_conn_); }},
        {"Im_RegMsgCallBack", [this](MatrixHost*) { Im_RegMsgCallBack(&extra_msg_); }},
        {"Im_RegSessionCallBack", [this](MatrixHost*) { Im_RegSessionCallBack(&extra_session_); }},
        {"Im_RemoveConnCallBack", [](MatrixHost* h) { Im_RemoveConnCallBack(h); }},
        {"Im_RemoveMsgCallBack", [](MatrixHost* h) { Im_RemoveMsgCallBack(h); }},
        {"Im_RemoveSessionCallBack", [](MatrixHost* h) { Im_RemoveSessionCallBack(h); }},
        {"Im_RemoveTalk", [](MatrixHost*) { Im_RemoveTalk(kUser, kPeer, false); }},
        {"Im_ReqWithdrawMsg", [](MatrixHost*) { Im_ReqWithdrawMsg(1, 2, 3, 4, 5, 6); }},
        {"Im_SendMsg", [](MatrixHost*) { SendOne(); }},
        {"Im_SetReadMsg", [](MatrixHost*) { Im_SetReadMsg(kUser, kPeer); }},
        {"Im_UnInit", [](MatrixHost*) { Im_UnInit(); }},
    };
  }

  static void SendOne() {
    tagTimSendMsgInfo info;
    info.peerKind = kUser;
    info.peerId = kPeer;
    info.msgId = Im_CreateNewSeq();
    info.payload = "payload";
    Im_SendMsg(&info, false, false);
  }

  // Makes the SDK or the host raise the callback.
  void Trigger(Callback c, HostUiThread* ui) {
    switch (c) {
      case Callback::kConnEvent:
        tim_control::RaiseRefresh();
        break;
      case Callback::kNewMsgs:
        Im_NotifyReleaseData();
        tim_control::DeliverNewMessages({Custom("100", "YWJj")});
        break;
      case Callback::kHandOver:
        tim_control::DeliverNewMessages({Custom("100", "YWJj")});
        Settle();
        ui->Send([] { Im_NotifyReleaseData(); }, "Im_NotifyReleaseData on the UI thread");
        break;
      case Callback::kSendResult:
        SendOne();
        break;
      case Callback::kMsgListResult:
        Im_GetMsgList(kUser, kPeer, 1, 1, nullptr);
        break;
      case Callback::kSessionChanged:
        tim_control::RaiseConversationRefresh({{kCnvC2C, "100"}});
        break;
      case Callback::kRecentList:
        ui->Send([] { Im_GetRecentList(); }, "Im_GetRecentList on the UI thread");
        break;
    }
  }

  void RunCase(Callback c, const Export& e, bool via_ui) {
    const std::string what = std::string(e.name) + " from " + Name(c) +
                             (via_ui ? " through the UI thread" : " on its own thread");
    SCOPED_TRACE(what);
    DeadlockWatchdog watchdog(what);
    ASSERT_TRUE(Init());
    ASSERT_TRUE(Im_Login(kUserId, "36862", "sig"));
    tim_control::StoreMessages({Custom("100", "eHl6")});
    Settle();
    {
      HostUiThread ui;
      MatrixHost* host_ptr = nullptr;
      MatrixHost host(c, &ui, [&] {
        if (!via_ui) {
          e.call(host_ptr);
          return;
        }
        ui.Send([&] { e.call(host_ptr); }, what);
      });
      host_ptr = &host;
      Im_RegConnCallBack(&host);
      Im_RegMsgCallBack(&host);
      Im_RegSessionCallBack(&host);
      Trigger(c, &ui);
      EXPECT_TRUE(host.done().Wait()) << "deadlock: " << what;
      Settle();
      Im_UnInit();  // before the host object goes
      Settle();
    }
    tim_control::Reset();
  }

  RecordingConn extra_conn_;
  RecordingMsg extra_msg_;
  RecordingSession extra_session_;
};

TEST_F(HostPatternsTest, EveryExportFromEveryCallbackOnItsOwnThread) {
  for (Callback c :
       {Callback::kConnEvent, Callback::kNewMsgs, Callback::kHandOver, Callback::kSendResult,
        Callback::kMsgListResult, Callback::kSessionChanged, Callback::kRecentList}) {
    for (const Export& e : Exports()) RunCase(c, e, false);
  }
}

TEST_F(HostPatternsTest, EveryExportFromEveryRunnerCallbackThroughTheUiThread) {
  for (Callback c : {Callback::kConnEvent, Callback::kNewMsgs, Callback::kSendResult,
                     Callback::kMsgListResult, Callback::kSessionChanged}) {
    for (const Export& e : Exports()) RunCase(c, e, true);
  }
}

}  // namespace
}  // namespace kuvo_test
