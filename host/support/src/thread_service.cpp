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

void ThreadService::ReapFinishedLocked(std::vector<std::unique_ptr<Worker>>* out) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->second->done.load(std::memory_order_acquire)) {
      out->push_back(std::move(it->second));
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool ThreadService::StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) {
  if (!callback || !key) return false;
  std::vector<std::unique_ptr<Worker>> finished;
  uint32_t new_key = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ReapFinishedLocked(&finished);
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
  }
  for (auto& w : finished) JoinUnlessSelf(w->thread);
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

}  // namespace kuvo_host
