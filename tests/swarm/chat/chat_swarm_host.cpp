#include "chat_swarm_host.h"

#include "base/task_runner.h"
#include "closure_task.h"
#include "kuvocore.h"

namespace swarm {

HostThread::HostThread()
    : thread_([this] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (true) {
          wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
          if (queue_.empty()) return;
          auto fn = std::move(queue_.front());
          queue_.pop_front();
          lock.unlock();
          fn();
          lock.lock();
          busy_ = false;
          wake_.notify_all();
        }
      }) {}

HostThread::~HostThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void HostThread::Run(const std::function<void()>& fn) {
  std::unique_lock<std::mutex> lock(mutex_);
  busy_ = true;
  queue_.push_back(fn);
  wake_.notify_all();
  wake_.wait(lock, [this] { return !busy_; });
}

void RunOnChatRunner(const std::function<void()>& fn) {
  void* object = nullptr;
  if (!GetKuvocoreObject(kKuvocoreTaskRunner, &object) || !object) return;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  static_cast<Base::ITaskRunner*>(object)->PostTask(kuvo_test::NewClosureTask([&] {
    fn();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    cv.notify_all();
  }));
  std::unique_lock<std::mutex> lock(mutex);
  cv.wait(lock, [&] { return done; });
}

void SwarmCallbacks::OnConnEvent(int32_t code, std::string text) {
  sink_->Entered(name_, 0);
  sink_->OnConn(name_, code, text);
}

void SwarmCallbacks::OnNewMsgs(const TimMsgList* msgs) {
  sink_->Entered(name_, 1);
  sink_->OnNewMsgs(name_, msgs);
}

void SwarmCallbacks::OnSendResult(bool sent, uint64_t seq, const tagTimMsgInfo*) {
  sink_->Entered(name_, 1);
  sink_->OnSend(name_, sent, seq);
}

void SwarmCallbacks::OnMsgListResult(uint64_t seq, const TimMsgList*, bool) {
  sink_->Entered(name_, 1);
  sink_->OnPage(name_, seq);
}

void SwarmCallbacks::OnRecentList(const TimTalkList*) {
  sink_->Entered(name_, 2);
  sink_->OnSession(name_);
}

void SwarmCallbacks::OnSessionChanged(const TimChangedPeers*) {
  sink_->Entered(name_, 2);
  sink_->OnSession(name_);
}

}  // namespace swarm
