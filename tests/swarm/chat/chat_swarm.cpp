#include "chat_swarm.h"

#include <chrono>

#include "base/task_runner.h"
#include "kuvocore.h"
#include "kuvocore_control.h"
#include "temp_folder.h"
#include "tim/tim_control.h"

namespace swarm {

namespace {

constexpr uint32_t kPeerKind = 9;  // a user conversation
constexpr uint64_t kPeerId = 77;

std::wstring DataPath() {
  return (kuvo_test::ProcessTempFolder().path() / "swarm_chat" / "data").wstring();
}

bool IsLogout(const std::string& op) {
  return op == "logout" || op == "kick" || op == "sigexpire" || op == "uninit";
}

}  // namespace

ChatSwarm::ChatSwarm() = default;
ChatSwarm::~ChatSwarm() = default;

Script ChatSwarm::Generate(Rng& rng, int steps) {
  Script script;
  const std::vector<std::string> threads = {"h0", "h0", "h1", "h1", "runner"};
  script.push_back(Step("init").Set("on", "h0"));
  for (int i = 0; i < steps; ++i) {
    const uint32_t roll = rng.Below(100);
    const std::string on = rng.Pick(threads);
    if (roll < 10) {
      script.push_back(
          Step("login")
              .Set("on", on)
              .Set("sdk", rng.Pick(std::vector<std::string>{"ok", "ok", "ok", "fail", "refuse"}))
              .Set("delay", rng.Percent(50) ? 0 : rng.Between(1, 40)));
    } else if (roll < 15) {
      script.push_back(Step("logout").Set("on", on));
    } else if (roll < 22) {
      script.push_back(Step("release").Set("on", on));
    } else if (roll < 32) {
      script.push_back(Step("send")
                           .Set("on", on)
                           .Set("seq", rng.Percent(80) ? "fresh" : "again")
                           .Set("code", rng.Percent(70) ? 0 : rng.Between(1, 9000))
                           .Set("online", rng.Percent(20) ? 1 : 0)
                           .Set("wrap", rng.Percent(80) ? 1 : 0));
    } else if (roll < 38) {
      script.push_back(Step("history")
                           .Set("on", on)
                           .Set("mode", rng.Between(0, 3))
                           .Set("code", rng.Percent(80) ? 0 : rng.Between(1, 9000)));
    } else if (roll < 42) {
      script.push_back(
          Step(rng.Pick(std::vector<std::string>{"recent", "unread", "read", "removetalk"}))
              .Set("on", on));
    } else if (roll < 50) {
      script.push_back(
          Step(rng.Percent(50) ? "reg" : "remove")
              .Set("on", on)
              .Set("name", rng.Between(1, kNames - 1))
              .Set("part", rng.Pick(std::vector<std::string>{"conn", "msg", "session"})));
    } else if (roll < 53) {
      script.push_back(Step("uninit").Set("on", on));
      script.push_back(Step("init").Set("on", rng.Pick(threads)));
    } else if (roll < 63) {
      script.push_back(Step("newmsgs").Set("n", rng.Between(1, 3)));
    } else if (roll < 72) {
      script.push_back(Step(rng.Pick(std::vector<std::string>{"connect", "disconnect", "disconnect",
                                                              "kick", "sigexpire", "refresh"})));
    } else if (roll < 77) {
      script.push_back(
          Step("clock").Set("ms", rng.Pick(std::vector<uint32_t>{1000, 15000, 30000})));
    } else if (roll < 80) {
      script.push_back(Step("sync").Set("on", rng.Percent(30) ? 1 : 0));
    } else if (roll < 86) {
      script.push_back(Step("hold").Set("name", rng.Below(kNames)));
      if (rng.Percent(50)) {
        // An event for the connection callbacks, and the next host call surely behind it.
        script.push_back(Step("refresh"));
        script.push_back(Step("wait_held"));
      }
    } else {
      script.push_back(Step("settle"));
    }
  }
  script.push_back(Step("settle"));
  return script;
}

void ChatSwarm::BeginRound(Checker* checker) {
  checker_ = checker;
  tim_control::Reset();
  tim_control::SetCallLogging(false);
  checker_->Expect(Kuvocore_Startup(), "Kuvocore_Startup failed");
  KuvocoreTest_UseManualClock(true);
  void* runner = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &runner);
  runner_ = static_cast<Base::ITaskRunner*>(runner);
  for (auto& h : hosts_) h = std::make_unique<HostThread>();
  for (int n = 0; n < kNames; ++n) callbacks_[n] = std::make_unique<SwarmCallbacks>(n, this);
  std::lock_guard<std::mutex> lock(mutex_);
  inited_ = false;
  quiet_ = true;
  login_state_ = connect_state_ = false;
  must_answer_ = 0;
  ForgetManagerLocked();
  release_intact_ = false;
  logout_event_in_flight_ = false;
  for (int n = 0; n < kNames; ++n) {
    seen_[n].clear();
    last_seen_[n] = 0;
    removed_[n] = {};
    msg_registered_[n] = false;
  }
  armed_ = -1;
  release_held_ = false;
  steps_done_ = 0;
  host_calls_done_ = 0;
  holding_ = false;
}

void ChatSwarm::LoggedOut() {
  login_state_ = connect_state_ = false;
  must_answer_ = 0;
  release_intact_ = false;
}

void ChatSwarm::Entered(int name, int part) {
  std::unique_lock<std::mutex> lock(mutex_);
  static const char* const kParts[] = {"connection", "message", "session"};
  checker_->Expect(!removed_[name][part], std::string(kParts[part]) + " callback " +
                                              std::to_string(name) +
                                              " called after its removal (or Im_UnInit) returned "
                                              "on the runner's thread");
  if (armed_ != name || !runner_ || !runner_->IsCurrentThread()) return;
  armed_ = -1;
  // Hold this thread (as a host may, until its UI thread has run something) until the host's
  // next call has returned. An export that waits for this callback never returns meanwhile.
  const uint64_t until = host_calls_done_;
  const std::string held_during = step_text_;
  holding_ = true;
  changed_.notify_all();
  const bool released = changed_.wait_for(
      lock, std::chrono::seconds(5), [&] { return host_calls_done_ > until || release_held_; });
  holding_ = false;
  checker_->Expect(released, "callback " + std::to_string(name) +
                                 " held on the runner's thread for 5 s until the host's next "
                                 "call returned; that call waited for it (held during \"" +
                                 held_during + "\")");
}

void ChatSwarm::ReleaseHeld() {
  std::lock_guard<std::mutex> lock(mutex_);
  release_held_ = true;
  armed_ = -1;
  changed_.notify_all();
}

void ChatSwarm::OnConn(int name, int32_t code, const std::string& text) {
  if (name != 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const bool outcome = (code == 0 && text == "tim login success") || code == -4;
  if (!outcome) {
    if (code == -1 || code == -2) LoggedOut();
    return;
  }
  checker_->Expect(code != -4 || text == "tim login error", "event -4 with text \"" + text + "\"");
  ++outcomes_;
  checker_->Expect(outcomes_ <= accepted_, "login outcome " + std::to_string(code) +
                                               " without an accepted login to answer "
                                               "(doubled, or from an older manager)");
  // The manager's flags as its login handler leaves them.
  if (code == 0 && login_state_) connect_state_ = true;
  login_state_ = false;
}

void ChatSwarm::OnNewMsgs(int name, const TimMsgList* msgs) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!checker_->Expect(msgs != nullptr, "OnNewMsgs with no list")) return;
  for (const auto& m : *msgs) {
    checker_->Expect(seen_[name].insert(m.msgId).second, "message " + std::to_string(m.msgId) +
                                                             " reached callback " +
                                                             std::to_string(name) + " twice");
    checker_->Expect(m.msgId > last_seen_[name],
                     "message " + std::to_string(m.msgId) + " reached callback " +
                         std::to_string(name) + " after message " +
                         std::to_string(last_seen_[name]) + ", out of arrival order");
    if (m.msgId > last_seen_[name]) last_seen_[name] = m.msgId;
  }
}

void ChatSwarm::OnSend(int name, bool, uint64_t seq) {
  if (name != 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sends_.find(seq);
  if (!checker_->Expect(it != sends_.end() && it->second > 0,
                        "send report for number " + std::to_string(seq) +
                            " with no send of it outstanding (doubled, or from an older "
                            "manager)")) {
    return;
  }
  if (--it->second == 0) sends_.erase(it);
}

void ChatSwarm::OnPage(int name, uint64_t seq) {
  if (name != 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  checker_->Expect(answered_pages_.insert(seq).second,
                   "history number " + std::to_string(seq) + " answered twice");
  if (pages_.erase(seq) == 0) early_pages_.insert(seq);
}

void ChatSwarm::OnSession(int) {}

void ChatSwarm::ForgetManagerLocked() {
  uncertain_ = false;
  accepted_ = outcomes_ = 0;
  sends_.clear();
  reused_.clear();
  used_.clear();
  last_seq_ = 0;
  pages_.clear();
  early_pages_.clear();
  answered_pages_.clear();
  raised_.clear();
  release_mark_ = 0;
}

void ChatSwarm::Call(const Step& step) {
  const std::string& op = step.op;
  const int name = static_cast<int>(step.Int("name"));
  SwarmCallbacks* cb = callbacks_[name].get();
  const bool on_runner = step.Get("on") == "runner";
  if (op == "init") {
    {
      // Callable as soon as it is registered.
      std::lock_guard<std::mutex> lock(mutex_);
      removed_[0] = {};
    }
    Im_RegConnCallBack(cb);
    Im_RegMsgCallBack(cb);
    Im_RegSessionCallBack(cb);
    const bool ok = Im_Init(1400012345, 0, DataPath().c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    checker_->Expect(ok, "Im_Init failed");
    inited_ = ok;
    msg_registered_[0] = true;
  } else if (op == "uninit") {
    Im_UnInit();
    std::lock_guard<std::mutex> lock(mutex_);
    inited_ = false;
    LoggedOut();
    quiet_ = true;
    // From another thread, a report the old manager had already begun to give may still come
    // (Im_UnInit does not wait for it): Execute forgets the manager once the runner has passed it.
    if (on_runner) ForgetManagerLocked();
    for (int n = 0; n < kNames; ++n) {
      if (on_runner) removed_[n] = {true, true, true};
      msg_registered_[n] = false;
    }
  } else if (op == "login") {
    const std::string sdk = step.Get("sdk");
    tim_control::LoginScript script;
    script.result = sdk == "refuse" ? 70001 : 0;
    script.outcome = sdk == "fail" ? 6208 : 0;
    script.delay_ms = static_cast<uint32_t>(step.Int("delay"));
    tim_control::SetLoginScript(script);
    bool strict = false;
    bool expected = false;
    bool was_logging_in = false;
    bool was_logged_in = false;
    {
      // Counted before the call: the outcome may come before Im_Login returns.
      std::lock_guard<std::mutex> lock(mutex_);
      strict = quiet_ && !uncertain_;
      // Made while an outcome or a logout of the SDK's is on its way, the login may pass it
      // between the manager's flags and the event this host sees: which flags they leave is
      // then not known here until the host logs out itself.
      if (!quiet_ || accepted_ > outcomes_) uncertain_ = true;
      expected = inited_ && !login_state_ && !connect_state_ && script.result == 0;
      ++accepted_;
      ++must_answer_;
      was_logging_in = login_state_;
      was_logged_in = connect_state_;
      login_state_ = true;
      connect_state_ = false;
    }
    const bool ok = Im_Login(900100200300ull, "36862", "signature");
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ok) {
      --accepted_;
      if (must_answer_ > 0) --must_answer_;
      // Busy: nothing changed. Refused by the SDK: "login failed", neither flag set.
      const bool busy = was_logging_in || was_logged_in;
      login_state_ = busy && was_logging_in;
      connect_state_ = busy && was_logged_in;
    }
    if (strict) {
      checker_->Expect(ok == expected, std::string("Im_Login returned ") + (ok ? "true" : "false") +
                                           " (inited " + std::to_string(inited_) + ", logging in " +
                                           std::to_string(login_state_) + ", logged in " +
                                           std::to_string(connect_state_) + ", TIMLogin answers " +
                                           std::to_string(script.result) + ")");
    }
    if (ok) quiet_ = false;
  } else if (op == "logout") {
    Im_Loginout();
    std::lock_guard<std::mutex> lock(mutex_);
    LoggedOut();
    uncertain_ = false;
  } else if (op == "release") {
    size_t mark = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      mark = raised_.size();
    }
    Im_NotifyReleaseData();
    std::lock_guard<std::mutex> lock(mutex_);
    release_mark_ = mark;
    release_intact_ = !logout_event_in_flight_;
  } else if (op == "send") {
    tim_control::SendScript script;
    script.code = static_cast<int>(step.Int("code"));
    tim_control::PushSendScript(script);
    tagTimSendMsgInfo info;
    info.cmd = 1001;  // a general message
    info.peerKind = kPeerKind;
    info.peerId = kPeerId;
    info.pushText = "push";
    info.payload = "swarm";
    uint64_t again = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      again = last_seq_;
    }
    info.msgId = step.Get("seq") == "again" && again ? again : Im_CreateNewSeq();
    {
      // Counted before the call: the report may come before Im_SendMsg returns.
      std::lock_guard<std::mutex> lock(mutex_);
      ++sends_[info.msgId];
    }
    const bool ok = Im_SendMsg(&info, step.Int("online") != 0, step.Int("wrap", 1) != 0);
    std::lock_guard<std::mutex> lock(mutex_);
    last_seq_ = info.msgId;
    if (ok) {
      // A number used again: at most one report per send, none owed.
      if (!used_.insert(info.msgId).second) reused_.insert(info.msgId);
    } else if (--sends_[info.msgId] <= 0) {
      sends_.erase(info.msgId);
    }
  } else if (op == "history") {
    tim_control::HistoryScript script;
    script.code = static_cast<int>(step.Int("code"));
    script.from_store = script.code == 0;
    tim_control::PushHistoryScript(script);
    const uint64_t n =
        Im_GetMsgList(kPeerKind, kPeerId, 5, static_cast<int32_t>(step.Int("mode")), nullptr);
    if (n != 0) {
      // The answer may have come before Im_GetMsgList returned.
      std::lock_guard<std::mutex> lock(mutex_);
      if (early_pages_.erase(n) == 0) pages_.insert(n);
    }
  } else if (op == "recent") {
    Im_GetRecentList();
  } else if (op == "unread") {
    Im_GetTalkUnReadCnt(kPeerKind, kPeerId);
  } else if (op == "read") {
    Im_SetReadMsg(kPeerKind, kPeerId);
  } else if (op == "removetalk") {
    Im_RemoveTalk(kPeerKind, kPeerId, false);
  } else if (op == "reg" || op == "remove") {
    const std::string part = step.Get("part");
    const bool reg = op == "reg";
    const int index = part == "conn" ? 0 : part == "msg" ? 1 : 2;
    if (reg) {
      // The runner may call the interface as soon as it is registered, before Im_Reg* returns.
      std::lock_guard<std::mutex> lock(mutex_);
      removed_[name][index] = false;
    }
    if (part == "conn") reg ? Im_RegConnCallBack(cb) : Im_RemoveConnCallBack(cb);
    if (part == "msg") reg ? Im_RegMsgCallBack(cb) : Im_RemoveMsgCallBack(cb);
    if (part == "session") reg ? Im_RegSessionCallBack(cb) : Im_RemoveSessionCallBack(cb);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!reg && on_runner) removed_[name][index] = true;
    if (part == "msg") msg_registered_[name] = reg;
  }
}

void ChatSwarm::HostCall(const Step& step) {
  const std::string on = step.Get("on");
  if (on == "runner") {
    ReleaseHeld();  // the runner's thread must be free to take the call
    RunOnChatRunner([&] { Call(step); });
  } else {
    hosts_[on == "h1" ? 1 : 0]->Run([&] { Call(step); });
  }
}

void ChatSwarm::Settle(bool check) {
  ReleaseHeld();
  for (int i = 0; i < 4; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  release_held_ = false;
  if (check) {
    checker_->Expect(outcomes_ >= must_answer_,
                     std::to_string(must_answer_ - outcomes_) +
                         " accepted login(s) ended in neither event 0 nor -4, with no logout");
    for (const auto& [seq, owed] : sends_) {
      checker_->Expect(reused_.count(seq) || owed == 0,
                       "send " + std::to_string(seq) + " accepted but never reported");
    }
    checker_->Expect(
        early_pages_.empty(),
        "a history answer for a number this manager never handed out: " +
            (early_pages_.empty() ? std::string() : std::to_string(*early_pages_.begin())));
    if (release_intact_ && msg_registered_[0]) {
      for (size_t i = 0; i < release_mark_ && i < raised_.size(); ++i) {
        checker_->Expect(seen_[0].count(raised_[i]) == 1,
                         "message " + std::to_string(raised_[i]) +
                             " held before Im_NotifyReleaseData never reached the observer");
      }
    }
  }
  accepted_ = must_answer_ = outcomes_ = 0;
  quiet_ = true;
  logout_event_in_flight_ = false;
}

void ChatSwarm::Execute(const Step& step) {
  ++steps_run_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    step_text_ = step.Text();
    if (IsLogout(step.op)) LoggedOut();
    if (step.op == "kick" || step.op == "sigexpire") {
      quiet_ = false;
      logout_event_in_flight_ = true;
    }
  }
  const std::string& op = step.op;
  if (op == "settle") {
    Settle(true);
  } else if (op == "newmsgs") {
    std::vector<tim_control::MessageShape> batch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!inited_) return;
      for (int64_t i = 0; i < step.Int("n", 1); ++i) {
        auto shape = tim_control::CustomMessage(kCnvC2C, "77", "42", "c3dhcm0=");
        shape.unique_id = 1000000 + ++next_msg_;
        raised_.push_back(shape.unique_id);
        batch.push_back(shape);
      }
    }
    tim_control::DeliverNewMessages(batch);
  } else if (op == "connect") {
    {
      // Arriving while logged out, it logs out once more, silently: a release made before it
      // has been handled may be undone.
      std::lock_guard<std::mutex> lock(mutex_);
      logout_event_in_flight_ = true;
      release_intact_ = false;
    }
    tim_control::RaiseConnected();
  } else if (op == "disconnect") {
    tim_control::RaiseDisconnected(6002);
  } else if (op == "kick") {
    tim_control::RaiseKickOffline();
  } else if (op == "sigexpire") {
    tim_control::RaiseUserSigExpired();
  } else if (op == "refresh") {
    tim_control::RaiseRefresh();
  } else if (op == "clock") {
    ReleaseHeld();
    KuvocoreTest_AdvanceClock(static_cast<uint32_t>(step.Int("ms")));
  } else if (op == "sync") {
    // Events still queued would otherwise be overtaken by the next synchronous one: the SDK's
    // own order, which the library must keep, is what is checked.
    tim_control::WaitIdle();
    tim_control::SetSynchronousCallbacks(step.Int("on") != 0);
  } else if (op == "wait_held") {
    // Until an armed callback holds the runner's thread (at most 1 s), so that a script can
    // put a host call behind it for certain.
    std::unique_lock<std::mutex> lock(mutex_);
    if (holds_) changed_.wait_for(lock, std::chrono::seconds(1), [&] { return holding_; });
  } else if (op == "hold") {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = holds_ ? static_cast<int>(step.Int("name")) : -1;
    release_held_ = false;
  } else {
    HostCall(step);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++host_calls_done_;
      changed_.notify_all();
    }
    if (op == "uninit" && step.Get("on") != "runner") {
      // Let a callback that was running when Im_UnInit began finish, with the old manager's
      // books, before they are forgotten. No callback can begin meanwhile, so none is held.
      ReleaseHeld();
      RunOnChatRunner([] {});
      std::lock_guard<std::mutex> lock(mutex_);
      ForgetManagerLocked();
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++steps_done_;
  changed_.notify_all();
}

void ChatSwarm::EndRound() {
  ReleaseHeld();
  tim_control::SetSynchronousCallbacks(false);
  hosts_[0]->Run([] { Im_UnInit(); });
  Settle(false);
  checker_->Expect(
      tim_control::LiveHandleCount() == 0,
      std::to_string(tim_control::LiveHandleCount()) + " SDK handles alive at the end");
  const auto misuses = tim_control::Misuses();
  checker_->Expect(misuses.empty(), "SDK misuse: " + (misuses.empty() ? "" : misuses.front()));
  for (auto& h : hosts_) h.reset();
  Kuvocore_Shutdown();
  tim_control::Reset();
}

}  // namespace swarm
