#include "sl/sl_control.h"

#include <mutex>

#include "sl_state.h"

namespace sl_control {

using sl::State;

void Reset() {
  State::Get().Reset();
}

void FailCall(const std::string& name, bool fail) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (fail) {
    state.failing.insert(name);
  } else {
    state.failing.erase(name);
  }
}

void SetClientAddress(const std::string& address) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.address = address;
}

void SetSessionName(const std::string& name) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.session_name = name;
}

void SetDesktopSize(int width, int height) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.desktop_width = width;
  state.desktop_height = height;
}

// Each event looks its handler up when it runs, so that a handler set or a session destroyed in
// the meantime is what counts.
void RaiseRemoteEvent(SLSESSION session, int event) {
  State::Get().Post([session, event] {
    State& state = State::Get();
    SLREMOTE remote = 0;
    SLREMOTE_CALLBACK callback = nullptr;
    void* custom = nullptr;
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      remote = state.NewestRemote();
      if (sl::Remote* found = state.FindRemote(remote)) {
        callback = found->callback;
        custom = found->custom;
      }
    }
    if (callback != nullptr) callback(remote, session, event, custom);
  });
}

void RaiseRemoteSessionEvent(SLSESSION session, int event) {
  State::Get().Post([session, event] {
    State& state = State::Get();
    SLSESSION_CALLBACK_PROP prop{nullptr, nullptr};
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      for (auto& entry : state.remotes) {
        const auto target = entry.second.sessions.find(session);
        if (target != entry.second.sessions.end()) prop = target->second.callback;
      }
    }
    if (prop.callback != nullptr) prop.callback(session, event, "", 0, prop.custom);
  });
}

void RaiseClientEvent(int event) {
  sl::PostClientEvent(0, event);
}

void HoldLogins(bool hold) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.hold_logins = hold;
}

void RaiseClientSessionEvent(SLSESSION session, int event, SLSESSION reported_session) {
  const SLSESSION reported = reported_session == SLSESSION_INVALID ? session : reported_session;
  State::Get().Post([session, event, reported] {
    State& state = State::Get();
    SLSESSION_CALLBACK_PROP prop{nullptr, nullptr};
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      for (auto& entry : state.clients) {
        const auto target = entry.second.sessions.find(session);
        if (target != entry.second.sessions.end()) prop = target->second.callback;
      }
    }
    if (prop.callback != nullptr) prop.callback(reported, event, "", 0, prop.custom);
  });
}

void WaitIdle() {
  State::Get().WaitIdle();
}

void WaitUntilCallWaitsForHandler() {
  State::Get().WaitUntilCallWaits();
}

std::vector<Call> Calls() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.calls;
}

std::vector<Call> CallsNamed(const std::string& name) {
  std::vector<Call> named;
  for (Call& call : Calls()) {
    if (call.name == name) named.push_back(std::move(call));
  }
  return named;
}

void ClearCalls() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.calls.clear();
}

SLSESSION LastRemoteSession() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.last_remote_session;
}

SLSESSION LastClientSession() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.last_client_session;
}

std::vector<uintptr_t> RemoteHandles() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<uintptr_t> handles;
  for (const auto& entry : state.remotes) handles.push_back(entry.first);
  return handles;
}

std::vector<uintptr_t> ClientHandles() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<uintptr_t> handles;
  for (const auto& entry : state.clients) handles.push_back(entry.first);
  return handles;
}

bool RemoteSessionExists(SLSESSION session) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  for (auto& entry : state.remotes) {
    if (entry.second.sessions.count(session) != 0) return true;
  }
  return false;
}

bool ClientSessionExists(SLSESSION session) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  for (auto& entry : state.clients) {
    if (entry.second.sessions.count(session) != 0) return true;
  }
  return false;
}

uintptr_t RemoteSessionWindow(SLSESSION session) {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  for (auto& entry : state.remotes) {
    const auto target = entry.second.sessions.find(session);
    if (target != entry.second.sessions.end()) return target->second.window;
  }
  return 0;
}

bool ClientLoggedIn() {
  State& state = State::Get();
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(state.NewestClient());
  return found != nullptr && found->logged_in;
}

}  // namespace sl_control
