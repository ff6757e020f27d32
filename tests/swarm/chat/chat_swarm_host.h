// The host side of the KuvoChat swarm: host threads that run one export call at a time, and
// callback interfaces that report what the library promises about them to the swarm.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "KuvoChat.h"
#include "swarm_driver.h"

namespace swarm {

// A thread of the host's. Run() hands it one call and waits for it.
class HostThread {
 public:
  HostThread();
  ~HostThread();
  void Run(const std::function<void()>& fn);
  bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool busy_ = false;
  bool quit_ = false;
  std::thread thread_;
};

// Runs `fn` on the in-house task runner's thread and waits for it.
void RunOnChatRunner(const std::function<void()>& fn);

// What every host callback tells the swarm.
class CallbackSink {
 public:
  virtual void OnConn(int name, int32_t code, const std::string& text) = 0;
  virtual void OnNewMsgs(int name, const TimMsgList* msgs) = 0;
  virtual void OnSend(int name, bool sent, uint64_t seq) = 0;
  virtual void OnPage(int name, uint64_t seq) = 0;
  virtual void OnSession(int name) = 0;
  // Called at the start of every callback of interface `part` (0 connection, 1 message,
  // 2 session): checks removal and may hold the caller.
  virtual void Entered(int name, int part) = 0;

 protected:
  ~CallbackSink() = default;
};

// The three interfaces in one object per name; the swarm registers the parts it picks.
class SwarmCallbacks final : public IConnCallBack, public IMsgCallBack, public ISessionCallBack {
 public:
  SwarmCallbacks(int name, CallbackSink* sink) : name_(name), sink_(sink) {}
  void OnConnEvent(int32_t code, std::string text) override;
  void OnNewMsgs(const TimMsgList* msgs) override;
  void OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo* msg) override;
  void OnMsgListResult(uint64_t seq, const TimMsgList* msgs, bool reachedEnd) override;
  void OnRecentList(const TimTalkList* talks) override;
  void OnSessionChanged(const TimChangedPeers* changed) override;

 private:
  int name_;
  CallbackSink* sink_;
};

}  // namespace swarm
