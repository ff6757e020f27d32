#include "fetch_swarm_host.h"

#include <utility>
#include <vector>

#include "closure_task.h"

namespace swarm {

SwarmRequest::SwarmRequest(const fetch_test::RequestValues& values, StartRecord* record,
                           FillSink* sink, Checker* checker,
                           std::function<SwarmRequest*()> make_clone)
    : values_(values),
      record_(record),
      sink_(sink),
      checker_(checker),
      make_clone_(std::move(make_clone)) {}

long SwarmRequest::AddRef() {
  checker_->Expect(!dead_, "a request object was taken again after its last reference went");
  return refs_.fetch_add(1) + 1;
}

long SwarmRequest::Release() {
  const long left = refs_.fetch_sub(1) - 1;
  if (left < 0) {
    checker_->Fail(std::string("a request object (") + (is_clone_ ? "clone" : "host's own") +
                   ") was released once more than it was referenced");
  }
  if (left == 0) dead_ = true;
  return left;
}

void SwarmRequest::SetResponse(const std::string& response) {
  checker_->Expect(!dead_, "SetResponse on a released request object");
  sink_->OnResponse(is_clone_ ? record_ : nullptr, response);
}

void SwarmRequest::SetResultCode(int32_t code) {
  checker_->Expect(!dead_, "SetResultCode on a released request object");
  sink_->OnResultCode(is_clone_ ? record_ : nullptr, code);
}

void SwarmRequest::Clone(IHttpRequest** out) {
  *out = make_clone_ ? make_clone_() : nullptr;
}

SwarmThreadService::~SwarmThreadService() {
  JoinAll();
}

bool SwarmThreadService::StartThread(Base::CSmartPtr<Base::IThreadCallback> callback,
                                     uint32_t* key) {
  if (fail_next_.exchange(false)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  const uint32_t k = ++last_key_;
  threads_[k] = std::thread([job = std::move(callback)] { job->Run(); });
  stops_[k] = 0;
  *key = k;
  return true;
}

bool SwarmThreadService::StopThread(uint32_t key, int value) {
  checker_->Expect(value == 0, "StopThread with " + std::to_string(value) + ", not 0");
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = stops_.find(key);
    if (it == stops_.end()) {
      checker_->Fail("StopThread with key " + std::to_string(key) + " that was never handed out");
      return false;
    }
    if (++it->second > 1) {
      checker_->Fail("StopThread twice with key " + std::to_string(key));
    }
    if (wait_on_stop_) {
      auto t = threads_.find(key);
      if (t != threads_.end()) {
        thread = std::move(t->second);
        threads_.erase(t);
      }
    }
  }
  if (thread.joinable() && thread.get_id() == std::this_thread::get_id()) {
    checker_->Fail("StopThread on the thread it stops (key " + std::to_string(key) + ")");
    thread.detach();
  }
  if (thread.joinable()) thread.join();
  return true;
}

void SwarmThreadService::JoinAll() {
  std::map<uint32_t, std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
  }
  for (auto& [key, thread] : threads) {
    if (thread.joinable()) thread.join();
  }
}

std::string SwarmThreadService::UnbalancedKeys() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const auto& [key, count] : stops_) {
    if (count != 1) text += " " + std::to_string(key) + "(" + std::to_string(count) + "x)";
  }
  return text;
}

void SwarmTaskRunner::PostTask(Base::CSmartPtr<Base::CRunnableTask> task) {
  if (!bound_ && !inner_.IsCurrentThread()) {
    checker_->Fail("a worker called the task runner after HttpUnInit had returned");
  }
  inner_.PostTask(std::move(task));
}

void SwarmTaskRunner::RunOn(const std::function<void()>& fn) {
  inner_.PostTask(kuvo_test::NewClosureTask(fn));
  inner_.WaitIdle();
}

}  // namespace swarm
