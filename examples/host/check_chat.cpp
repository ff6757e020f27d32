// KuvoChat: a login and a received message on the IM SDK stand-in, with Kuvocore's task runner.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "host_checks.h"
#include "kuvo_host/kuvocore_runner.h"
#include "kuvocore_control.h"
#include "tim/tim_control.h"

namespace kit_host {

namespace {

class Conn final : public IConnCallBack {
 public:
  // Events arrive on Kuvocore's task runner.
  void OnConnEvent(int32_t code, std::string text) override {
    Base::ITaskRunner* runner = kuvo_host::KuvocoreTaskRunner();
    const bool on_runner = runner != nullptr && runner->IsCurrentThread();
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::to_string(code) + " " + text + (on_runner ? "" : " (off the runner)"));
  }
  std::vector<std::string> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> events_;
};

class Msgs final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    // The records belong to the library and live for this call only: copy what is kept.
    for (const auto& m : *msgs) {
      const std::string kind =
          m.peerKind == em_PK_USER ? "user " : "kind " + std::to_string(m.peerKind) + " ";
      received_.push_back(kind + std::to_string(m.peerId) + " " + m.locator.sender + ": " +
                          m.content);
    }
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  std::vector<std::string> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> received_;
};

// The SDK's thread and the runner may hand work to each other: both are drained a few times.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
}

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

}  // namespace

int CheckChat(const std::string& work_folder) {
  int failures = Check(Kuvocore_Startup() && kuvo_host::KuvocoreTaskRunner() != nullptr,
                       "chat: Kuvocore started, its task runner there");
  tim_control::Reset();
  Conn conn;
  Msgs msgs;
  Im_RegConnCallBack(&conn);
  Im_RegMsgCallBack(&msgs);
  failures += Check(Im_Init(1400012345, 0, Widen(work_folder + "/chat").c_str()), "chat: Im_Init");
  failures += Check(Im_Login(900100200300ull, "36862", "kit-signature"), "chat: Im_Login");
  Settle();
  failures += Check(tim_control::LoggedInUser() == "900100200300", "chat: logged in on the SDK");
  Im_NotifyReleaseData();
  tim_control::DeliverNewMessages({tim_control::CustomMessage(kCnvC2C, "100", "100", "aGVsbG8=")});
  Settle();
  const std::vector<std::string> received = msgs.received();
  failures += Check(received.size() == 1, "chat: one message received");
  if (!received.empty()) {
    failures += Check(received[0] == "user 100 100: hello",
                      "chat: from user 100 (em_PK_USER), \"hello\" (" + received[0] + ")");
  }
  // Removed before they go out of scope: no new call into them begins, and Settle below lets a
  // call still running on the runner end before they go.
  Im_RemoveMsgCallBack(&msgs);
  Im_RemoveConnCallBack(&conn);
  Im_UnInit();
  Settle();
  Kuvocore_Shutdown();
  const std::vector<std::string> connection = conn.events();
  failures += Check(!connection.empty() && connection[0] == "0 tim login success",
                    "chat: connection event 0 \"tim login success\"");
  return failures;
}

}  // namespace kit_host
