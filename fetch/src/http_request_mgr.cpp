#include "http_request_mgr.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "base/runnable_function.h"
#include "http_thread_callback.h"

namespace Http {

namespace {

CHttpRequestMgr* g_manager = nullptr;  // runner thread only

// Never reset, not even by HttpUnInit, so a stale completion can never match a newer request.
std::atomic<uint32_t> g_last_request_id{0};

// The runner that workers hand their results to. Workers read it from their own threads while
// the runner's thread binds and unbinds it; Unbind waits until no worker is still between
// reading the pointer and returning from the runner's PostTask, so after HttpUnInit no worker
// calls the runner again. No lock is held while calling the runner.
class DeliveryGate {
 public:
  void Bind(Base::ITaskRunner* runner) {
    std::lock_guard<std::mutex> lock(mutex_);
    runner_ = runner;
  }
  void Unbind() {
    std::unique_lock<std::mutex> lock(mutex_);
    runner_ = nullptr;
    idle_.wait(lock, [this] { return in_flight_ == 0; });
  }
  // The bound runner, counted as in use until Release; null when none is bound.
  Base::ITaskRunner* Acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (runner_) ++in_flight_;
    return runner_;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--in_flight_ == 0) idle_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  Base::ITaskRunner* runner_ = nullptr;
  int in_flight_ = 0;
};

DeliveryGate& Gate() {
  static DeliveryGate* gate = new DeliveryGate();  // outlives every worker, never destroyed
  return *gate;
}

}  // namespace

CHttpRequestMgr* CHttpRequestMgr::Instance() {
  if (!g_manager) g_manager = new CHttpRequestMgr();
  return g_manager;
}

void CHttpRequestMgr::DestroyInstance() {
  delete g_manager;
  g_manager = nullptr;
}

void CHttpRequestMgr::SetLastRequestId(uint32_t last_id) {
  g_last_request_id.store(last_id);
}

uint32_t CHttpRequestMgr::NextRequestId() {
  uint32_t last = g_last_request_id.load();
  uint32_t next = 0;
  do {
    next = last + 1;
    if (next == 0) next = 1;
  } while (!g_last_request_id.compare_exchange_weak(last, next));
  return next;
}

bool CHttpRequestMgr::Init(Base::IThreadService* thread_service, Base::ITaskRunner* task_runner) {
  if (!thread_service || !task_runner) return false;
  thread_service_ = thread_service;
  task_runner_ = task_runner;
  Gate().Bind(task_runner);
  // Set up again when an earlier set-up could not make the share handle; workers still holding
  // the old state release it (and its global initialisation) when they end.
  if (!curl_ || !curl_->handle()) curl_ = CurlShare::Create();
  return true;
}

uint32_t CHttpRequestMgr::StartRequest(IHttpRequest* request, HttpRequestCallback callback) {
  if (!request || !thread_service_) return 0;
  IHttpRequest* cloned = nullptr;
  request->Clone(&cloned);
  if (!cloned) return 0;
  auto kept = Base::CSmartPtr<IHttpRequest>::Adopt(cloned);

  // After a wrap the counter may come back to an id that is still pending: skip it, so that no
  // row (and no completion meant for it) is ever taken over by a newer request.
  uint32_t id = NextRequestId();
  while (pending_.count(id) != 0) id = NextRequestId();
  Base::CSmartPtr<Base::IThreadCallback> worker;
  try {
    worker = new CHttpThreadCallBack(id, kept.get(), curl_);
  } catch (...) {
    return 0;  // the id stays used
  }
  uint32_t thread_key = 0;
  if (!thread_service_->StartThread(worker, &thread_key)) return 0;

  RequestEntry& entry = pending_[id];
  entry.thread_key = thread_key;
  entry.callback = callback;
  entry.request = std::move(kept);
  return id;
}

void CHttpRequestMgr::StopRequest(uint32_t request_id) {
  auto it = pending_.find(request_id);
  if (it == pending_.end()) return;
  RequestEntry entry = std::move(it->second);
  pending_.erase(it);
  if (thread_service_) thread_service_->StopThread(entry.thread_key, 0);
  // entry.request is released here.
}

void CHttpRequestMgr::UnInit() {
  // Take the table first: StopThread may take a while, and nothing may find these rows again.
  std::map<uint32_t, RequestEntry> rows;
  rows.swap(pending_);
  if (thread_service_) {
    for (const auto& [id, entry] : rows) thread_service_->StopThread(entry.thread_key, 0);
  }
  rows.clear();
  // Workers still running (a thread service whose stop does not wait) keep their own reference
  // to the libcurl state; the last one tears it down.
  curl_.reset();
  Gate().Unbind();
  thread_service_ = nullptr;
  task_runner_ = nullptr;
}

void CHttpRequestMgr::Complete(uint32_t request_id, uint32_t code, const std::string& response) {
  auto it = pending_.find(request_id);
  if (it == pending_.end()) return;  // stopped, torn down, or never added
  RequestEntry entry = std::move(it->second);
  pending_.erase(it);
  if (thread_service_) thread_service_->StopThread(entry.thread_key, 0);
  if (entry.request) {
    entry.request->SetResultCode(static_cast<int32_t>(code));
    entry.request->SetResponse(response);
  }
  if (entry.callback) entry.callback(request_id, entry.request.get());
}

void CompleteRequest(uint32_t request_id, uint32_t code, std::string response) {
  Base::ITaskRunner* runner = Gate().Acquire();
  if (!runner) return;
  const bool on_runner = runner->IsCurrentThread();
  if (!on_runner) {
    try {
      runner->PostTask(
          Base::NewRunnableFunction(&CompleteRequest, request_id, code, std::move(response)));
    } catch (...) {
      // Out of memory on a worker thread: the result is lost, the process is not.
    }
  }
  Gate().Release();
  // The completion may call the exports again, HttpUnInit included: no gate is held here.
  if (on_runner && g_manager) g_manager->Complete(request_id, code, response);
}

}  // namespace Http
