// Demo section "chat": KuvoChat driven like a host against the IM SDK stand-in, with Kuvocore's
// clock moved by hand: a login, a connection drop shorter and one longer than 30 seconds, and
// new messages held until the host says it is ready.
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "KuvoChat.h"
#include "demo_chat_support.h"
#include "demo_section.h"
#include "kuvocore_control.h"
#include "tim/tim_control.h"

namespace {

constexpr char kSection[] = "chat";

class DemoConn final : public IConnCallBack {
 public:
  void OnConnEvent(int32_t code, std::string text) override {
    demo::Say(kSection, "  connection event " + std::to_string(code) + " \"" + text + "\"");
  }
};

class DemoMsgs final : public IMsgCallBack {
 public:
  void OnNewMsgs(const TimMsgList* msgs) override {
    demo::Say(kSection, "  OnNewMsgs with " + std::to_string(msgs->size()) + " message(s):");
    for (const auto& m : *msgs) {
      demo::Say(kSection, "    from " + m.locator.sender + " in " + m.locator.peer + " (kind " +
                              demo::PeerKindText(m.peerKind) + ", id " + std::to_string(m.peerId) +
                              "): \"" + m.content + "\"");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    delivered_ += msgs->size();
  }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}
  size_t delivered() {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
  }

 private:
  std::mutex mutex_;
  size_t delivered_ = 0;
};

int RunChat(const demo::DemoArgs&) {
  if (!Kuvocore_Startup()) return 1;
  KuvocoreTest_UseManualClock(true);
  tim_control::Reset();

  DemoConn conn;
  DemoMsgs msgs;
  Im_RegConnCallBack(&conn);
  Im_RegMsgCallBack(&msgs);

  demo::Say(kSection, "Im_Init");
  if (!Im_Init(1400012345, 0, demo::ChatDataFolder("kuvo_demo_chat").c_str())) return 2;
  demo::Say(kSection, "Im_Login user 900100200300");
  if (!Im_Login(900100200300ull, "36862", "demo-signature")) return 3;
  demo::SettleChat();

  demo::Say(kSection, "connection drops; it is back after 20 s (stand-in clock)");
  tim_control::RaiseDisconnected(6002, "network unreachable");
  demo::SettleChat();
  KuvocoreTest_AdvanceClock(20000);
  tim_control::RaiseConnected();
  demo::SettleChat();
  KuvocoreTest_AdvanceClock(30000);
  demo::SettleChat();

  demo::Say(kSection, "connection drops again and stays down for 30 s");
  tim_control::RaiseDisconnected(6002, "network unreachable");
  demo::SettleChat();
  KuvocoreTest_AdvanceClock(29999);
  demo::SettleChat();
  demo::Say(kSection, "  ... 29.999 s: nothing reported yet");
  KuvocoreTest_AdvanceClock(1);
  demo::SettleChat();
  tim_control::RaiseConnected();
  demo::SettleChat();

  demo::Say(kSection, "two batches arrive before the host is ready");
  tim_control::DeliverNewMessages(
      {tim_control::CustomMessage(kCnvC2C, "100", "100", "aGVsbG8="),
       tim_control::CustomMessage(kCnvGroup, "G7", "101", "Z3JvdXAgbm90ZQ==")});
  tim_control::DeliverNewMessages(
      {tim_control::CustomMessage(kCnvC2C, "cscmd_7", "cscmd_7", "c2VydmljZQ==")});
  demo::SettleChat();
  demo::Say(kSection, "  delivered so far: " + std::to_string(msgs.delivered()));
  demo::Say(kSection, "Im_NotifyReleaseData");
  Im_NotifyReleaseData();
  demo::Say(kSection, "a message after the release goes straight through");
  tim_control::DeliverNewMessages({tim_control::CustomMessage(kCnvC2C, "100", "100", "YWdhaW4=")});
  demo::SettleChat();

  const size_t delivered = msgs.delivered();
  demo::Say(kSection, "Im_UnInit");
  Im_UnInit();
  demo::SettleChat();
  Kuvocore_Shutdown();
  return delivered == 4 ? 0 : 4;
}

const demo::DemoSection kChatSection(
    20, kSection,
    "KuvoChat's connection side: a login, a connection drop shorter and one longer than 30 "
    "seconds, and new messages held until the host says it is ready.",
    &RunChat);

}  // namespace
