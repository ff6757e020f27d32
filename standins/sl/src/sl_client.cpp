// The controlled side: clients, their login and their sessions.
#include <mutex>

#include "sl_state.h"

using sl::Number;
using sl::State;
using sl::Text;

extern "C" {

SL_DECL SLCLIENT SLAPI SLCreateClient(void) {
  State& state = State::Get();
  if (state.Enter("SLCreateClient", {})) return 0;
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.initialized) return 0;
  const SLCLIENT client = state.next_handle++;
  state.clients[client];
  return client;
}

SL_DECL bool SLAPI SLSetClientCallback(SLCLIENT client, SLCLIENT_CALLBACK callback, void* custom) {
  State& state = State::Get();
  if (state.Enter("SLSetClientCallback",
                  {Number(client), callback ? "callback" : "null", custom ? "custom" : "null"})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr) return false;
  found->callback = callback;
  found->custom = custom;
  return true;
}

SL_DECL void SLAPI SLOpenClientLog(SLCLIENT client, const char* folder, const char* file_name) {
  State::Get().Enter("SLOpenClientLog", {Number(client), Text(folder), Text(file_name)});
}

SL_DECL bool SLAPI SLClientLoginWithOpenID(SLCLIENT client, const char* openid, const char* key,
                                           const char* domain, bool use_ssl) {
  State& state = State::Get();
  if (state.Enter("SLClientLoginWithOpenID",
                  {Number(client), Text(openid), Text(key), Text(domain), use_ssl ? "1" : "0"})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr || openid == nullptr || key == nullptr || *openid == '\0') return false;
  if (!found->logged_in && !state.hold_logins) found->login_pending = true;
  return true;
}

SL_DECL SLSESSION SLAPI SLCreateClientSession(SLCLIENT client, int type) {
  State& state = State::Get();
  if (state.Enter("SLCreateClientSession", {Number(client), std::to_string(type)})) {
    return SLSESSION_INVALID;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr) return SLSESSION_INVALID;
  const SLSESSION session = state.next_session++;
  found->sessions[session].name =
      state.session_name.empty() ? "session-" + std::to_string(session) : state.session_name;
  state.last_client_session = session;
  return session;
}

SL_DECL bool SLAPI SLSetClientSessionOpt(SLCLIENT client, SLSESSION session, int option,
                                         const void* value, unsigned int size) {
  State& state = State::Get();
  if (state.Enter("SLSetClientSessionOpt",
                  {Number(client), Number(session), std::to_string(option),
                   option == SLSESSION_OPT_CALLBACK ? (value ? "callback" : "null") : "value",
                   std::to_string(size)})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr) return false;
  const auto target = found->sessions.find(session);
  if (target == found->sessions.end() || option != SLSESSION_OPT_CALLBACK) return false;
  if (value == nullptr || size != sizeof(SLSESSION_CALLBACK_PROP)) return false;
  target->second.callback = *static_cast<const SLSESSION_CALLBACK_PROP*>(value);
  return true;
}

SL_DECL const char* SLAPI SLGetClientSessionName(SLCLIENT client, SLSESSION session) {
  State& state = State::Get();
  const bool fail = state.Enter("SLGetClientSessionName", {Number(client), Number(session)});
  const char* name = "";
  bool complete_login = false;
  uint64_t logouts = 0;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    sl::Client* found = state.FindClient(client);
    if (found == nullptr) return "";
    const auto target = found->sessions.find(session);
    found->name_text = fail || target == found->sessions.end() ? "" : target->second.name;
    name = found->name_text.c_str();
    // A pending login completes once the client has named its session, so that its events find
    // the session there, as with the service, whose answer takes longer than the client's set-up.
    complete_login = found->login_pending && !found->name_text.empty();
    if (complete_login) found->login_pending = false;
    logouts = found->logouts;
  }
  if (complete_login) {
    sl::PostClientEvent(client, SLCLIENT_EVENT_CONNECTED, static_cast<int64_t>(logouts));
    sl::PostClientEvent(client, SLCLIENT_EVENT_LOGINED, static_cast<int64_t>(logouts));
  }
  return name;
}

SL_DECL const char* SLAPI SLGetClientAddress(SLCLIENT client) {
  State& state = State::Get();
  const bool fail = state.Enter("SLGetClientAddress", {Number(client)});
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr) return "";
  found->address_text = fail || !found->logged_in ? "" : state.address;
  return found->address_text.c_str();
}

SL_DECL bool SLAPI SLClientStartChat(SLCLIENT client, SLSESSION session, bool show) {
  State& state = State::Get();
  if (state.Enter("SLClientStartChat", {Number(client), Number(session), show ? "1" : "0"})) {
    return false;
  }
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  return found != nullptr && found->sessions.count(session) != 0;
}

SL_DECL bool SLAPI SLClientIsOnLoginned(SLCLIENT client) {
  State& state = State::Get();
  if (state.Enter("SLClientIsOnLoginned", {Number(client)})) return false;
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  return found != nullptr && found->logged_in;
}

SL_DECL bool SLAPI SLClientLogout(SLCLIENT client) {
  State& state = State::Get();
  if (state.Enter("SLClientLogout", {Number(client)})) return false;
  state.WaitForRunningHandler();
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  if (found == nullptr) return false;
  found->logged_in = false;
  found->login_pending = false;
  ++found->logouts;
  return true;
}

SL_DECL bool SLAPI SLDestroyClientSession(SLCLIENT client, SLSESSION session) {
  State& state = State::Get();
  if (state.Enter("SLDestroyClientSession", {Number(client), Number(session)})) return false;
  state.WaitForRunningHandler();
  std::lock_guard<std::mutex> lock(state.mutex);
  sl::Client* found = state.FindClient(client);
  return found != nullptr && found->sessions.erase(session) != 0;
}

}  // extern "C"
