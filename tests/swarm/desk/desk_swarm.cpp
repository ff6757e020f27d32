#include "desk_swarm.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "KuvoDesk.h"
#include "platform/system.h"
#include "platform/testing/window_emulation.h"
#include "platform/windowing.h"
#include "sl/sl_control.h"
#include "temp_folder.h"
#include "testing/kuvo_desk_testing.h"

namespace swarm {

namespace {

const char kAddress[] = "203.0.113.7:4118";

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Which side's handle an SDK call takes first: 'r' remote, 'c' client, 0 none.
char SideOf(const std::string& name) {
  static const std::set<std::string> remote = {"SLSetRemoteCallback",
                                               "SLOpenRemoteLog",
                                               "SLCreateRemoteEmptySession",
                                               "SLSetRemoteSessionOpt",
                                               "SLHideRemoteDesktopToolbarItem",
                                               "SLConnectRemoteSession",
                                               "SLDestroyRemoteSession",
                                               "SLGetDesktopSessionOriginSize",
                                               "SLSetDesktopSessionPos"};
  static const std::set<std::string> client = {
      "SLOpenClientLog",       "SLSetClientCallback",   "SLClientLoginWithOpenID",
      "SLCreateClientSession", "SLSetClientSessionOpt", "SLGetClientSessionName",
      "SLGetClientAddress",    "SLClientStartChat",     "SLClientIsOnLoginned",
      "SLClientLogout",        "SLDestroyClientSession"};
  if (remote.count(name) != 0) return 'r';
  if (client.count(name) != 0) return 'c';
  return 0;
}

std::set<std::string> HandleTexts(const std::vector<uintptr_t>& handles) {
  std::set<std::string> texts;
  for (uintptr_t h : handles) texts.insert(std::to_string(h));
  return texts;
}

platform::WindowHandle SessionWindow() {
  return static_cast<platform::WindowHandle>(KuvoDeskSessionWindowForTesting());
}

}  // namespace

DeskSwarm::DeskSwarm() {
  // The SDK's log folder lies under the documents folder; the emulated main executable carries
  // icon 6000, as the host's does. Set before any thread starts.
  const auto documents = kuvo_test::ProcessTempFolder().path() / "swarm_desk";
  std::filesystem::create_directories(documents);
  ::setenv("XDG_DOCUMENTS_DIR", documents.string().c_str(), 1);
  platform::SetMainExecutableIconsForTesting({6000});
}

DeskSwarm::~DeskSwarm() = default;

Script DeskSwarm::Generate(Rng& rng, int steps) {
  Script script;
  const std::vector<std::string> calls = {
      "SLConnectRemoteSession",  "SLCreateRemoteEmptySession", "SLSetRemoteSessionOpt:2",
      "SLClientLoginWithOpenID", "SLCreateClientSession",      "SLGetDesktopSessionOriginSize"};
  if (rng.Percent(85)) script.push_back(Step("callback").Set("set", 1));
  for (int i = 0; i < steps; ++i) {
    const uint32_t roll = rng.Below(100);
    if (roll < 10) {
      script.push_back(Step("master"));
    } else if (roll < 15) {
      script.push_back(Step("mstop"));
    } else if (roll < 22) {
      script.push_back(Step("slave"));
    } else if (roll < 26) {
      script.push_back(Step("sstop"));
    } else if (roll < 29) {
      script.push_back(Step("callback").Set("set", rng.Percent(75) ? 1 : 0));
    } else if (roll < 42) {
      script.push_back(Step("remote")
                           .Set("ev", rng.Pick(std::vector<uint32_t>{0, 0, 1, 1, 2, 5}))
                           .Set("sess", rng.Percent(80) ? "cur" : std::to_string(rng.Below(60))));
    } else if (roll < 46) {
      script.push_back(Step("rsession").Set("ev", rng.Pick(std::vector<uint32_t>{1, 3, 3})));
    } else if (roll < 54) {
      script.push_back(Step("client").Set("ev", rng.Below(8)));
    } else if (roll < 60) {
      script.push_back(Step("csession")
                           .Set("ev", rng.Pick(std::vector<uint32_t>{1, 1, 2, 2, 3}))
                           .Set("sess", rng.Percent(80) ? "cur" : std::to_string(rng.Below(60))));
    } else if (roll < 70) {
      script.push_back(Step("close").Set("answer", rng.Percent(50) ? "yes" : "no"));
    } else if (roll < 75) {
      script.push_back(Step(rng.Percent(50) ? "minimise" : "restore"));
    } else if (roll < 84) {
      // An export from inside the next host event of that code, on the thread that raises it.
      const uint32_t code = rng.Below(5);
      std::vector<std::string> ops = {"callback"};
      if (code <= 1) ops.insert(ops.end(), {"slave", "sstop", "nullcb"});
      if (code == 2 || code == 3) ops.insert(ops.end(), {"mstop", "nullcb"});
      if (code == 4) ops.insert(ops.end(), {"mstop", "master"});
      script.push_back(Step("arm").Set("code", code).Set("op", rng.Pick(ops)));
    } else if (roll < 88) {
      script.push_back(
          Step("fail").Set("call", rng.Pick(calls)).Set("on", rng.Percent(60) ? 1 : 0));
    } else if (roll < 96) {
      script.push_back(Step("settle"));
    } else {
      script.push_back(Step("reload"));
      if (rng.Percent(85)) script.push_back(Step("callback").Set("set", 1));
    }
  }
  script.push_back(Step("settle"));
  return script;
}

void DeskSwarm::BeginRound(Checker* checker) {
  checker_ = checker;
  sl_control::Reset();
  // The swarm raises the controlled side's login events itself, with the numbers it chooses.
  sl_control::HoldLogins();
  window_thread_ = std::make_unique<host::WindowThread>();
  SetDeskSink(this, window_thread_->id());
  baseline_windows_ = platform::LiveWindowCountForTesting();
  calls_checked_ = 0;
  remote_created_ = client_created_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  armed_op_.clear();
  armed_code_ = -1;
  connected_ = 0;
  event4_ = 0;
  event4_split_ = false;
  callback_set_ = false;
  controlling_ = false;
}

void DeskSwarm::Export(const std::string& op) {
  if (op == "master") {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      controlling_ = true;
    }
    KuvoMasterStartSession(kAddress, "session-9", "peer");
  } else if (op == "mstop") {
    KuvoMasterStopSession();
  } else if (op == "slave") {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      controlling_ = false;
    }
    KuvoSlaveInitSession("openid", "key");
  } else if (op == "sstop") {
    KuvoSlaveStopSession();
  } else if (op == "callback") {
    std::lock_guard<std::mutex> lock(mutex_);
    // Under the lock: the host's view of its callback changes with the library's.
    KuvoSetRemoteControlCallback(kDeskUserData, &OnDeskHostEvent);
    callback_set_ = true;
  } else if (op == "nullcb") {
    std::lock_guard<std::mutex> lock(mutex_);
    KuvoSetRemoteControlCallback(0, nullptr);
    callback_set_ = false;
    connected_ = -1;  // events the host no longer sees may change it
    // A close in progress may raise one event 4 before and one after: the pair is split.
    event4_ = 0;
    event4_split_ = true;
  }
}

void DeskSwarm::OnDeskEvent(const DeskEvent& event) {
  std::string op;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string text = Narrow(event.text);
    const std::string what =
        "host event " + std::to_string(event.code) + " with text \"" + text + "\"";
    checker_->Expect(event.user_data == kDeskUserData,
                     what + " and user data " + std::to_string(event.user_data));
    switch (event.code) {
      case kRcSlaveReady: {
        // The login handler reports what SLGetClientAddress answers, which is nothing for a
        // client that a stop raised from an earlier event 0 is taking down meanwhile.
        const std::string head = std::string(kAddress) + "\n";
        const std::string name = text.substr(0, head.size()) == head ? text.substr(head.size())
                                 : !text.empty() && text[0] == '\n'  ? text.substr(1)
                                                                     : std::string("?");
        checker_->Expect(
            name.empty() || (name.rfind("session-", 0) == 0 && AllDigits(name.substr(8))),
            what + ": not the address, a line feed and the session name");
        break;
      }
      case kRcSlaveEnded: {
        const bool client = text.rfind("erroCode=", 0) == 0 && AllDigits(text.substr(9)) &&
                            text != "erroCode=0" && text != "erroCode=2";
        checker_->Expect(client || text == "event=2", what + ": not an unhandled client event");
        break;
      }
      case kRcMasterConnected:
        checker_->Expect(text.empty(), what);
        connected_ = 1;
        break;
      case kRcMasterDisconnected:
        checker_->Expect(text == "event=1" || text == "event=2", what);
        checker_->Expect(text != "event=1" || connected_ != 0,
                         what + " with no event 2 since the last event 3");
        connected_ = 0;
        break;
      case kRcMasterWindowClosed:
        checker_->Expect(text.empty(), what);
        checker_->Expect(event.on_window_thread, what + " off the session window's thread");
        // Not the end of a connection for this check: the close of an older window may reach
        // the host after event 2 of the newer session (a start from inside event 4 lets the
        // disconnect's handler go on before the destroy), and that session stays connected.
        ++event4_;
        break;
      default:
        checker_->Fail(what + ": no such event");
    }
    if (armed_code_ == event.code) {
      op = armed_op_;
      armed_code_ = -1;
    }
  }
  if (!op.empty()) {
    ++steps_run_;
    Export(op);
  }
}

void DeskSwarm::CheckCalls() {
  const std::vector<sl_control::Call> calls = sl_control::Calls();
  const std::set<std::string> remotes = HandleTexts(sl_control::RemoteHandles());
  const std::set<std::string> clients = HandleTexts(sl_control::ClientHandles());
  for (; calls_checked_ < calls.size(); ++calls_checked_) {
    const sl_control::Call& call = calls[calls_checked_];
    if (call.name == "SLCreateRemote") remote_created_ = true;
    if (call.name == "SLCreateClient") client_created_ = true;
    const char side = SideOf(call.name);
    if (side == 0) continue;
    const std::set<std::string>& own = side == 'r' ? remotes : clients;
    const bool created = side == 'r' ? remote_created_ : client_created_;
    const std::string handle = call.args.empty() ? std::string("none") : call.args[0];
    // The null handle is what a process initialised for the other side has for this one.
    const bool ok = own.count(handle) != 0 || (handle == "0" && (!created || own.empty()));
    checker_->Expect(ok, call.name + " with handle " + handle + ", not one of its side's (" +
                             std::to_string(own.size()) + " of them)");
  }
}

void DeskSwarm::Settle() {
  for (int i = 0; i < 3; ++i) {
    sl_control::WaitIdle();
    window_thread_->Run([] {});
  }
  CheckCalls();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!event4_split_) {
    checker_->Expect(event4_ % 2 == 0, "an odd number of event 4s (" + std::to_string(event4_) +
                                           ") with every close done");
  }
}

void DeskSwarm::Unload() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_code_ = -1;  // a host calls nothing from inside its own unload
  }
  Settle();
  bool was_controlled = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    was_controlled = !controlling_;
  }
  window_thread_->Run([this] {
    KuvoDeskReloadForTesting();
    answers_.reset();
  });
  Settle();
  checker_->Expect(SessionWindow() == nullptr, "a session window after the unload");
  checker_->Expect(platform::LiveWindowCountForTesting() == baseline_windows_,
                   std::to_string(platform::LiveWindowCountForTesting() - baseline_windows_) +
                       " window(s) of the library left after the unload");
  checker_->Expect(
      platform::LoadedIconCountForTesting() == 0,
      std::to_string(platform::LoadedIconCountForTesting()) + " icon(s) left after the unload");
  if (was_controlled) {
    checker_->Expect(!sl_control::ClientLoggedIn(),
                     "the controlled side still logged in to the SDK after the unload");
  }
  sl_control::Reset();
  sl_control::HoldLogins();
  calls_checked_ = 0;
  remote_created_ = client_created_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = 0;
  callback_set_ = false;
  controlling_ = false;
}

void DeskSwarm::CloseWindow(bool yes) {
  sl_control::WaitIdle();  // the host's view of "connected" follows the SDK's events in order
  platform::WindowHandle window = nullptr;
  window_thread_->Run([&] {
    answers_.reset();
    answers_ = std::make_unique<platform::ScopedMessageBoxAnswers>(
        std::vector<int>{yes ? platform::kIdYes : platform::kIdNo});
    window = SessionWindow();
  });
  if (window == nullptr) return;
  uint64_t before = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    before = event4_;
  }
  // The user's click: a message sent from another thread, handled by the window's loop.
  platform::CurrentWindows().SendWindowMessage(window, platform::kWmClose, 0, 0);
  std::vector<platform::ShownMessageBox> shown;
  window_thread_->Run([&] { shown = answers_->shown(); });
  if (!shown.empty() && shown.back().answer == platform::kIdNo) {
    std::lock_guard<std::mutex> lock(mutex_);
    checker_->Expect(event4_ == before, "event 4 for a close the user answered No");
    checker_->Expect(platform::CurrentWindows().IsLiveWindow(window),
                     "the session window went although the user answered No");
  }
}

void DeskSwarm::Execute(const Step& step) {
  ++steps_run_;
  const std::string& op = step.op;
  if (op == "settle") {
    Settle();
  } else if (op == "reload") {
    Unload();
  } else if (op == "callback") {
    const std::string which = step.Int("set") != 0 ? "callback" : "nullcb";
    window_thread_->Run([&] { Export(which); });
  } else if (op == "master" || op == "mstop" || op == "slave" || op == "sstop") {
    window_thread_->Run([&] { Export(op); });
  } else if (op == "remote") {
    {
      // Handled while the host has no callback, it changes what the host cannot see.
      std::lock_guard<std::mutex> lock(mutex_);
      if (!callback_set_) connected_ = -1;
    }
    const SLSESSION session = step.Get("sess") == "cur" ? sl_control::LastRemoteSession()
                                                        : static_cast<SLSESSION>(step.Int("sess"));
    sl_control::RaiseRemoteEvent(session, static_cast<int>(step.Int("ev")));
  } else if (op == "rsession") {
    sl_control::RaiseRemoteSessionEvent(sl_control::LastRemoteSession(),
                                        static_cast<int>(step.Int("ev")));
  } else if (op == "client") {
    sl_control::RaiseClientEvent(static_cast<int>(step.Int("ev")));
  } else if (op == "csession") {
    const SLSESSION current = sl_control::LastClientSession();
    const SLSESSION reported =
        step.Get("sess") == "cur" ? current : static_cast<SLSESSION>(step.Int("sess"));
    sl_control::RaiseClientSessionEvent(current, static_cast<int>(step.Int("ev")), reported);
  } else if (op == "close") {
    CloseWindow(step.Get("answer") == "yes");
  } else if (op == "minimise" || op == "restore") {
    const int command = op == "minimise" ? platform::kSwMinimize : platform::kSwRestore;
    window_thread_->Run([command] {
      if (SessionWindow() != nullptr)
        platform::CurrentWindows().ShowWindow(SessionWindow(), command);
    });
  } else if (op == "arm") {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_code_ = static_cast<int>(step.Int("code"));
    armed_op_ = step.Get("op");
  } else if (op == "fail") {
    sl_control::FailCall(step.Get("call"), step.Int("on") != 0);
  }
}

void DeskSwarm::EndRound() {
  Unload();
  window_thread_->Stop();
  window_thread_.reset();
  SetDeskSink(nullptr, std::thread::id());
}

}  // namespace swarm
