#include "kuvo_host/thread_service.h"

#include <utility>

namespace kuvo_host {

namespace {
void JoinUnlessSelf(std::thread& t) {
  if (!t.joinable()) return;
  if (t.get_id() == std::this_thread::get_id()) {
    t.detach();  // a job stopping its own thread: it ends when Run returns
  } else {
    t.join();
  }
}
}  // namespace

ThreadService::~ThreadService() {
  JoinAll();
}

std::unique_ptr<ThreadService::Worker> ThreadService::TakeOneFinishedLocked() {
  auto oldest = workers_.end();
  size_t finished = 0;
  for (auto it = workers_.begin(); it != workers_.end(); ++it) {
    if (!it->second->done.load(std::memory_order_acquire)) continue;
    if (finished++ == 0) oldest = it;
  }
  if (finished <= kFinishedKeptForStop) return nullptr;
  std::unique_ptr<Worker> worker = std::move(oldest->second);
  workers_.erase(oldest);
  return worker;
}

bool ThreadService::StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) {
  if (!callback || !key) return false;
  std::unique_ptr<Worker> finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished = TakeOneFinishedLocked();
  }
  // Joined before the new thread starts, so that the new thread can take the stack freed here.
  if (finished) JoinUnlessSelf(finished->thread);
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t new_key = 0;
  do {
    new_key = ++last_key_;
  } while (new_key == 0 || workers_.count(new_key));
  auto worker = std::make_unique<Worker>();
  Worker* raw = worker.get();
  raw->thread = std::thread([callback, raw]() mutable {
    callback->Run();
    callback.reset();
    raw->done.store(true, std::memory_order_release);
  });
  workers_.emplace(new_key, std::move(worker));
  *key = new_key;
  return true;
}

bool ThreadService::StopThread(uint32_t key, int /*value*/) {
  std::unique_ptr<Worker> worker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = workers_.find(key);
    if (it == workers_.end()) return false;
    worker = std::move(it->second);
    workers_.erase(it);
  }
  JoinUnlessSelf(worker->thread);
  return true;
}

void ThreadService::JoinAll() {
  std::map<uint32_t, std::unique_ptr<Worker>> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(workers_);
  }
  for (auto& entry : all) JoinUnlessSelf(entry.second->thread);
}

size_t ThreadService::ThreadCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return workers_.size();
}

}  // namespace kuvo_host
