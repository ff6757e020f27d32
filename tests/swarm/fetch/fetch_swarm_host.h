// The host side of the KuvoFetch swarm: a request object, a thread service and a task runner
// that check, as they are called, what KuvoFetch promises a host.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "KuvoFetch.h"
#include "kuvo_host/thread_task_runner.h"
#include "swarm_driver.h"
#include "test_request.h"

namespace swarm {

struct StartRecord;

// Called by a request object when the library fills it (runner's thread).
class FillSink {
 public:
  virtual void OnResultCode(StartRecord* record, int32_t code) = 0;
  virtual void OnResponse(StartRecord* record, const std::string& response) = 0;

 protected:
  ~FillSink() = default;
};

// A request object that is never freed during a round, so that a reference dropped once too
// often is reported as such instead of being a use after free.
class SwarmRequest final : public IHttpRequest {
 public:
  SwarmRequest(const fetch_test::RequestValues& values, StartRecord* record, FillSink* sink,
               Checker* checker, std::function<SwarmRequest*()> make_clone);

  long AddRef() override;
  long Release() override;
  std::string GetUrl() override { return values_.url; }
  std::string GetData() override { return values_.data; }
  void SetResponse(const std::string& response) override;
  void SetResultCode(int32_t code) override;
  uint32_t GetAttempts() override { return values_.attempts; }
  int32_t GetMethod() override { return values_.method; }
  int32_t GetContentType() override { return values_.content_type; }
  uint32_t GetRetryDelay() override { return values_.retry_delay_ms; }
  std::map<std::string, std::string> GetHeaders() override { return values_.headers; }
  std::string GetProxy() override { return values_.proxy; }
  void Clone(IHttpRequest** out) override;

  long refs() const { return refs_.load(); }
  bool dead() const { return dead_.load(); }
  StartRecord* record() const { return record_; }
  bool is_clone() const { return is_clone_; }
  void MarkClone() { is_clone_ = true; }

 private:
  std::atomic<long> refs_{1};  // the creator's reference
  std::atomic<bool> dead_{false};
  fetch_test::RequestValues values_;
  StartRecord* record_;
  FillSink* sink_;
  Checker* checker_;
  std::function<SwarmRequest*()> make_clone_;  // null: Clone yields nothing
  bool is_clone_ = false;
};

// Lends one new thread per job. StopThread either waits for the thread or only forgets the key
// (both are allowed); it checks that each key it handed out is stopped once, with 0.
class SwarmThreadService final : public Base::IThreadService {
 public:
  explicit SwarmThreadService(Checker* checker) : checker_(checker) {}
  ~SwarmThreadService();

  bool StartThread(Base::CSmartPtr<Base::IThreadCallback> callback, uint32_t* key) override;
  bool StopThread(uint32_t key, int value) override;

  void SetWaitOnStop(bool wait) { wait_on_stop_ = wait; }
  void FailNextStart(bool fail) { fail_next_ = fail; }
  void JoinAll();
  // Keys handed out and not stopped exactly once.
  std::string UnbalancedKeys();

 private:
  Checker* checker_;
  std::mutex mutex_;
  uint32_t last_key_ = 0;
  std::map<uint32_t, std::thread> threads_;
  std::map<uint32_t, int> stops_;  // key -> StopThread calls
  std::atomic<bool> wait_on_stop_{true};
  std::atomic<bool> fail_next_{false};
};

// The host's runner. Reports a worker that reaches it while the library is unbound (after
// HttpUnInit returned and before the next HttpInit).
class SwarmTaskRunner final : public Base::ITaskRunner {
 public:
  explicit SwarmTaskRunner(Checker* checker) : checker_(checker) {}

  bool IsCurrentThread() override { return inner_.IsCurrentThread(); }
  void PostTask(Base::CSmartPtr<Base::CRunnableTask> task) override;

  void SetBound(bool bound) { bound_ = bound; }
  // Runs `fn` on the runner's thread and waits for it (the driver's own posts are not checked).
  void RunOn(const std::function<void()>& fn);
  void WaitIdle() { inner_.WaitIdle(); }
  void Stop() { inner_.Stop(); }

 private:
  Checker* checker_;
  std::atomic<bool> bound_{false};
  kuvo_host::ThreadTaskRunner inner_;
};

}  // namespace swarm
