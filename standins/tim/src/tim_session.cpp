// Set-up, login and logout, and the registration of the session routines.
#include <string>

#include "tim/tim_c.h"
#include "tim_dispatcher.h"
#include "tim_state.h"

using tim::Dispatcher;
using tim::State;

namespace {

void DeliverCommOutcome(TIMCommCB* cb, int outcome, const std::string& desc) {
  if (cb == nullptr) return;
  if (outcome == 0) {
    if (cb->OnSuccess) cb->OnSuccess(cb->data);
  } else if (cb->OnError) {
    cb->OnError(outcome, desc.c_str(), cb->data);
  }
}

void RaiseConnectedNow() {
  TIMConnCB* cb = nullptr;
  {
    std::lock_guard<std::mutex> lock(State::Get().mutex);
    cb = State::Get().conn_cb;
  }
  if (cb && cb->OnConnected) cb->OnConnected(cb->data);
}

// Delivers a login outcome; a success makes the pending user the logged-in one.
void FinishLogin(TIMCommCB* cb, int outcome, const std::string& desc, bool connect_first) {
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (outcome == 0) s.logged_in_user = s.pending_login_user;
  }
  if (outcome == 0 && connect_first) RaiseConnectedNow();
  DeliverCommOutcome(cb, outcome, desc);
}

}  // namespace

namespace tim {
// Used by the control API to release a held login.
bool CompleteHeldLoginImpl(int outcome) {
  TIMCommCB* cb = nullptr;
  tim_control::LoginScript script;
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    cb = s.held_login_cb;
    s.held_login_cb = nullptr;
    script = s.login_script;
  }
  if (cb == nullptr) return false;
  Dispatcher::Get().Post(
      [cb, outcome, script] { FinishLogin(cb, outcome, script.desc, script.connect_first); });
  return true;
}
void RaiseConnectedFromControl() {
  RaiseConnectedNow();
}
}  // namespace tim

extern "C" {

int TIMInit(void) {
  State& s = State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.Log("TIMInit", {});
  if (s.init_result == 0) s.initialized = true;
  return s.init_result;
}

int TIMUninit(void) {
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Log("TIMUninit", {});
    s.initialized = false;
    s.logged_in_user.clear();
    // The caller's records may go away after this call: forget every one of them.
    s.message_cb = nullptr;
    s.conn_cb = nullptr;
    s.kick_cb = nullptr;
    s.sig_cb = nullptr;
    s.refresh_listener = nullptr;
    s.held_login_cb = nullptr;
    s.held_sends.clear();
  }
  Dispatcher::Get().DropQueued();
  return 0;
}

void TIMSetMode(int mode) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetMode", {std::to_string(mode)});
}

void TIMSetPath(const char* path) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetPath", {tim::Quote(path)});
}

void TIMSetLogLevel(TIMLogLevel level) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetLogLevel", {std::to_string(static_cast<int>(level))});
}

void TIMDisableAutoReport(void) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMDisableAutoReport", {});
}

void TIMDisableRecentContactNotify(void) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMDisableRecentContactNotify", {});
}

void TIMSetClientVersion(const char* version) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetClientVersion", {tim::Quote(version)});
}

int TIMLogin(int sdk_app_id, const TIMUserInfo* user, const char* user_sig, TIMCommCB* cb) {
  tim_control::LoginScript script;
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<std::string> args{std::to_string(sdk_app_id)};
    if (user) {
      args.push_back(tim::Quote(user->account_type));
      args.push_back(tim::Quote(user->app_id_at_3rd));
      args.push_back(tim::Quote(user->identifier));
      args.push_back(tim::Quote(user->tinyid));
      args.push_back(tim::PtrText(user->reserved1));
      args.push_back(tim::PtrText(user->reserved2));
    } else {
      args.push_back("null");
    }
    args.push_back(tim::Quote(user_sig));
    args.push_back(tim::PtrText(cb));
    s.Log("TIMLogin", std::move(args));
    script = s.login_script;
    if (script.result != 0) return script.result;
    if (!s.initialized) return kTimErrNotLoggedIn;
    s.pending_login_user = user && user->identifier ? user->identifier : "";
    if (script.hold) {
      s.held_login_cb = cb;
      return 0;
    }
  }
  Dispatcher::Get().Post(
      [cb, script] { FinishLogin(cb, script.outcome, script.desc, script.connect_first); },
      script.delay_ms);
  return 0;
}

void TIMLogout(TIMCommCB* cb) {
  tim_control::LogoutScript script;
  {
    State& s = State::Get();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.Log("TIMLogout", {tim::PtrText(cb)});
    s.logged_in_user.clear();
    // A held login outcome stays held: the vendor may report a login after a logout.
    script = s.logout_script;
  }
  Dispatcher::Get().Post([cb, script] { DeliverCommOutcome(cb, script.outcome, "logout failed"); },
                         script.delay_ms);
}

void TIMSetMessageCallBack(TIMMessageCB* cb) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetMessageCallBack", {tim::PtrText(cb)});
  State::Get().message_cb = cb;
}

void TIMSetConnCallBack(TIMConnCB* cb) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetConnCallBack", {tim::PtrText(cb)});
  State::Get().conn_cb = cb;
}

void TIMSetKickOfflineCallBack(TIMForceOfflineCB* cb) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetKickOfflineCallBack", {tim::PtrText(cb)});
  State::Get().kick_cb = cb;
}

void TIMSetUserSigExpiredCallBack(TIMUserSigExpiredCB* cb) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetUserSigExpiredCallBack", {tim::PtrText(cb)});
  State::Get().sig_cb = cb;
}

void TIMSetRefreshListener(TIMRefreshListener* listener) {
  std::lock_guard<std::mutex> lock(State::Get().mutex);
  State::Get().Log("TIMSetRefreshListener", {tim::PtrText(listener)});
  State::Get().refresh_listener = listener;
}

}  // extern "C"
