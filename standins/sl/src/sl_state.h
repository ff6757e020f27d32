// The stand-in's state: remotes, clients and their sessions under one lock, the call log, the
// scripted failures, and the event thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sl/sl_control.h"
#include "sl/slsdk.h"

namespace sl {

struct RemoteSession {
  uintptr_t window = 0;
  uintptr_t view = 0;  // the synthetic desktop shown in the window
  SLSESSION_CALLBACK_PROP callback{nullptr, nullptr};
  std::string address;
  std::string name;
};

struct Remote {
  SLREMOTE_CALLBACK callback = nullptr;
  void* custom = nullptr;
  std::map<SLSESSION, RemoteSession> sessions;
};

struct ClientSession {
  SLSESSION_CALLBACK_PROP callback{nullptr, nullptr};
  std::string name;
};

struct Client {
  SLCLIENT_CALLBACK callback = nullptr;
  void* custom = nullptr;
  bool logged_in = false;
  bool login_pending = false;  // a login the stand-in completes by itself (see sl_control.h)
  uint64_t logouts = 0;        // a completion posted before a logout is dropped
  std::map<SLSESSION, ClientSession> sessions;
  std::string name_text;     // what SLGetClientSessionName returned last
  std::string address_text;  // what SLGetClientAddress returned last
};

class State {
 public:
  static State& Get();

  // Logs the call; true when the test made calls of this name fail (or, with a `detail`, calls
  // named "<name>:<detail>").
  bool Enter(const char* name, std::vector<std::string> args, const std::string& detail = "");

  // Runs `event` on the event thread.
  void Post(std::function<void()> event);
  void WaitIdle();
  // Destroy and logout: waits for a handler running on the event thread, unless called there.
  void WaitForRunningHandler();
  void WaitUntilCallWaits();
  void Reset();

  std::mutex mutex;  // guards everything below
  bool initialized = false;
  std::map<SLREMOTE, Remote> remotes;
  std::map<SLCLIENT, Client> clients;
  uintptr_t next_handle = 0x5100;
  SLSESSION next_session = 1;
  SLSESSION last_remote_session = SLSESSION_INVALID;
  SLSESSION last_client_session = SLSESSION_INVALID;
  std::set<std::string> failing;
  std::vector<sl_control::Call> calls;
  std::string address = "203.0.113.7:4118";
  std::string session_name;
  bool hold_logins = false;
  int desktop_width = 1280;
  int desktop_height = 720;

  Remote* FindRemote(SLREMOTE remote);
  Client* FindClient(SLCLIENT client);
  SLREMOTE NewestRemote();
  SLCLIENT NewestClient();

 private:
  State() = default;
  void Loop();

  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> queue_;  // guarded by mutex
  bool running_ = false;
  uint64_t handled_ = 0;  // events finished
  int waiting_ = 0;       // calls waiting for the running handler
  bool started_ = false;
  std::thread::id thread_id_;
};

// Posts a client event to `client`'s callback (0: the newest client when the event runs). The
// logged-in event logs the client in, the disconnected and login-failed events log it out.
// `logouts`: the event is dropped if the client has logged out since (-1: never dropped).
void PostClientEvent(SLCLIENT client, int event, int64_t logouts = -1);

std::string Number(uintptr_t value);
std::string Text(const char* text);

}  // namespace sl
