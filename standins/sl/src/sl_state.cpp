#include "sl_state.h"

#include <utility>

namespace sl {

State& State::Get() {
  // Never destroyed: the event thread may still wait on it while the process exits.
  static State* state = new State;
  return *state;
}

void PostClientEvent(SLCLIENT client, int event, int64_t logouts) {
  State::Get().Post([client, event, logouts] {
    State& state = State::Get();
    SLCLIENT target = client;
    SLCLIENT_CALLBACK callback = nullptr;
    void* custom = nullptr;
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      if (target == 0) target = state.NewestClient();
      Client* found = state.FindClient(target);
      if (found == nullptr) return;
      if (logouts >= 0 && found->logouts != static_cast<uint64_t>(logouts)) return;
      if (event == SLCLIENT_EVENT_LOGINED) {
        found->logged_in = true;
        found->login_pending = false;
      }
      if (event == SLCLIENT_EVENT_DISCONNECTED || event == SLCLIENT_EVENT_LOGIN_FAILED) {
        found->logged_in = false;
      }
      callback = found->callback;
      custom = found->custom;
    }
    if (callback != nullptr) callback(target, event, custom);
  });
}

std::string Number(uintptr_t value) {
  return std::to_string(value);
}

std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string("(null)");
}

bool State::Enter(const char* name, std::vector<std::string> args, const std::string& detail) {
  std::lock_guard<std::mutex> lock(mutex);
  calls.push_back(sl_control::Call{name, std::move(args)});
  return failing.count(name) != 0 ||
         (!detail.empty() && failing.count(std::string(name) + ":" + detail) != 0);
}

Remote* State::FindRemote(SLREMOTE remote) {
  const auto found = remotes.find(remote);
  return found == remotes.end() ? nullptr : &found->second;
}

Client* State::FindClient(SLCLIENT client) {
  const auto found = clients.find(client);
  return found == clients.end() ? nullptr : &found->second;
}

SLREMOTE State::NewestRemote() {
  return remotes.empty() ? 0 : remotes.rbegin()->first;
}

SLCLIENT State::NewestClient() {
  return clients.empty() ? 0 : clients.rbegin()->first;
}

void State::Post(std::function<void()> event) {
  std::lock_guard<std::mutex> lock(mutex);
  if (!started_) {
    started_ = true;
    std::thread thread([this] { Loop(); });
    thread_id_ = thread.get_id();
    thread.detach();
  }
  queue_.push_back(std::move(event));
  wake_.notify_all();
}

void State::Loop() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake_.wait(lock, [this] { return !queue_.empty(); });
    std::function<void()> event = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    lock.unlock();
    event();
    lock.lock();
    running_ = false;
    ++handled_;
    idle_.notify_all();
  }
}

void State::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex);
  idle_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void State::WaitForRunningHandler() {
  std::unique_lock<std::mutex> lock(mutex);
  if (!running_ || std::this_thread::get_id() == thread_id_) return;
  const uint64_t running_one = handled_;
  ++waiting_;
  idle_.notify_all();
  idle_.wait(lock, [&] { return handled_ != running_one; });
  --waiting_;
}

void State::WaitUntilCallWaits() {
  std::unique_lock<std::mutex> lock(mutex);
  idle_.wait(lock, [this] { return waiting_ > 0; });
}

void State::Reset() {
  std::unique_lock<std::mutex> lock(mutex);
  queue_.clear();
  if (std::this_thread::get_id() != thread_id_) {
    idle_.wait(lock, [this] { return !running_; });
  }
  initialized = false;
  remotes.clear();
  clients.clear();
  next_session = 1;
  last_remote_session = SLSESSION_INVALID;
  last_client_session = SLSESSION_INVALID;
  failing.clear();
  calls.clear();
  address = "203.0.113.7:4118";
  session_name.clear();
  hold_logins = false;
  desktop_width = 1280;
  desktop_height = 720;
}

}  // namespace sl
