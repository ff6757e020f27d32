// The controlling side: remotes and their desktop sessions.
#include <mutex>

#include "sl_desktop.h"
#include "sl_state.h"

using sl::Number;
using sl::State;
using sl::Text;

extern "C" {

SL_DECL bool SLAPI SLInitialize(void) {
  State& state = State::Get();
  if (state.Enter("SLInitialize", {})) return false;
  std::lock_guard<std::mutex> lock(state.mutex);
  state.initialized = true;
  return true;
}

SL_DECL SLREMOTE SLAPI SLCreateRemote(void) {
  State& state = State::Get();
  if (state.Enter("SLCreateRemote", {})) return 0;
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.initialized) return 0;
  const SLREMOTE remote = state.next_handle++;
  state.remotes[remote];
  return remote;
}

SL_DECL bool SLAPI SLSetRemoteCallback(SLREMOTE remote, SLREMOTE_CALLBACK callback, void* custom) {
  State& state = State::Get();
  if (state.Enter("SLSetRemoteCallback",
                  {Number(remote), callback ? "callback" : "null", custom ? "custom" : "null"})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  if (found == nullptr) return false;
  found->callback = callback;
  found->custom = custom;
  return true;
}

SL_DECL void SLAPI SLOpenRemoteLog(SLREMOTE remote, const char* folder, const char* file_name) {
  State::Get().Enter("SLOpenRemoteLog", {Number(remote), Text(folder), Text(file_name)});
}

SL_DECL SLSESSION SLAPI SLCreateRemoteEmptySession(SLREMOTE remote, int type) {
  State& state = State::Get();
  if (state.Enter("SLCreateRemoteEmptySession", {Number(remote), std::to_string(type)})) {
    return SLSESSION_INVALID;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  if (found == nullptr) return SLSESSION_INVALID;
  const SLSESSION session = state.next_session++;
  found->sessions[session];
  state.last_remote_session = session;
  return session;
}

SL_DECL bool SLAPI SLSetRemoteSessionOpt(SLREMOTE remote, SLSESSION session, int option,
                                         const void* value, unsigned int size) {
  State& state = State::Get();
  std::string shown = option == SLSESSION_OPT_CALLBACK ? (value ? "callback" : "null")
                                                       : Number(reinterpret_cast<uintptr_t>(value));
  if (state.Enter(
          "SLSetRemoteSessionOpt",
          {Number(remote), Number(session), std::to_string(option), shown, std::to_string(size)},
          std::to_string(option))) {
    return false;
  }
  if (option == SLSESSION_OPT_WINDOW) {
    if (value == nullptr) return false;
    int width = 0;
    int height = 0;
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      sl::Remote* found = state.FindRemote(remote);
      if (found == nullptr || found->sessions.count(session) == 0) return false;
      width = state.desktop_width;
      height = state.desktop_height;
    }
    // The view belongs to the window's thread, which is the one calling here.
    const uintptr_t view = sl::AttachDesktopView(reinterpret_cast<uintptr_t>(value), width, height);
    uintptr_t old_view = 0;
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      sl::Remote* found = state.FindRemote(remote);
      const auto target =
          found != nullptr ? found->sessions.find(session) : decltype(found->sessions.end()){};
      if (found == nullptr || target == found->sessions.end()) {
        old_view = view;
      } else {
        old_view = target->second.view;
        target->second.window = reinterpret_cast<uintptr_t>(value);
        target->second.view = view;
      }
    }
    sl::DetachDesktopView(old_view);
    return true;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  if (found == nullptr) return false;
  const auto target = found->sessions.find(session);
  if (target == found->sessions.end()) return false;
  if (option == SLSESSION_OPT_CALLBACK) {
    if (value == nullptr || size != sizeof(SLSESSION_CALLBACK_PROP)) return false;
    target->second.callback = *static_cast<const SLSESSION_CALLBACK_PROP*>(value);
    return true;
  }
  return false;
}

SL_DECL bool SLAPI SLHideRemoteDesktopToolbarItem(SLREMOTE remote, SLSESSION session, int item) {
  State& state = State::Get();
  if (state.Enter("SLHideRemoteDesktopToolbarItem",
                  {Number(remote), Number(session), std::to_string(item)})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  return found != nullptr && found->sessions.count(session) != 0;
}

SL_DECL bool SLAPI SLConnectRemoteSession(SLREMOTE remote, SLSESSION session, const char* address,
                                          const char* session_name) {
  State& state = State::Get();
  if (state.Enter("SLConnectRemoteSession",
                  {Number(remote), Number(session), Text(address), Text(session_name)})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  if (found == nullptr || address == nullptr || session_name == nullptr) return false;
  const auto target = found->sessions.find(session);
  if (target == found->sessions.end() || *address == '\0') return false;
  target->second.address = address;
  target->second.name = session_name;
  sl::ShowPeerInDesktopView(target->second.view, address);
  return true;
}

SL_DECL bool SLAPI SLDestroyRemoteSession(SLREMOTE remote, SLSESSION session) {
  State& state = State::Get();
  if (state.Enter("SLDestroyRemoteSession", {Number(remote), Number(session)})) return false;
  state.WaitForRunningHandler();
  uintptr_t view = 0;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    sl::Remote* found = state.FindRemote(remote);
    const auto target =
        found != nullptr ? found->sessions.find(session) : decltype(found->sessions.end()){};
    if (found == nullptr || target == found->sessions.end()) return false;
    view = target->second.view;
    found->sessions.erase(target);
  }
  sl::DetachDesktopView(view);
  return true;
}

SL_DECL bool SLAPI SLGetDesktopSessionOriginSize(SLREMOTE remote, SLSESSION session, int* width,
                                                 int* height) {
  State& state = State::Get();
  if (state.Enter("SLGetDesktopSessionOriginSize", {Number(remote), Number(session)})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Remote* found = state.FindRemote(remote);
  if (found == nullptr || found->sessions.count(session) == 0) return false;
  if (width == nullptr || height == nullptr) return false;
  *width = state.desktop_width;
  *height = state.desktop_height;
  return true;
}

SL_DECL bool SLAPI SLSetDesktopSessionPos(SLREMOTE remote, SLSESSION session, int x, int y,
                                          int width, int height) {
  State& state = State::Get();
  if (state.Enter("SLSetDesktopSessionPos",
                  {Number(remote), Number(session), std::to_string(x), std::to_string(y),
                   std::to_string(width), std::to_string(height)})) {
    return false;
  }
  uintptr_t view = 0;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    sl::Remote* found = state.FindRemote(remote);
    const auto target =
        found != nullptr ? found->sessions.find(session) : decltype(found->sessions.end()){};
    if (found == nullptr || target == found->sessions.end()) return false;
    view = target->second.view;
  }
  sl::MoveDesktopView(view, x, y, width, height);
  return true;
}

}  // extern "C"
