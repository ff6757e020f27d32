#include "test_request.h"

#include <chrono>

namespace fetch_test {

namespace {
std::atomic<int> g_live{0};
}

Base::CSmartPtr<TestRequest> TestRequest::Make(const RequestValues& values) {
  return Base::CSmartPtr<TestRequest>(new TestRequest(values));
}

int TestRequest::LiveCount() {
  return g_live.load();
}

TestRequest::TestRequest(const RequestValues& values) : values_(values) {
  ++g_live;
}
TestRequest::~TestRequest() {
  --g_live;
}

long TestRequest::AddRef() {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

long TestRequest::Release() {
  const long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

bool FillRecord::WaitFilled() {
  std::unique_lock<std::mutex> lock(mutex);
  return filled.wait_for(lock, std::chrono::seconds(40),
                         [this] { return set_code_calls > 0 && set_response_calls > 0; });
}

void TestRequest::SetResponse(const std::string& response) {
  std::lock_guard<std::mutex> lock(fill_->mutex);
  ++fill_->set_response_calls;
  fill_->response = response;
  fill_->filled.notify_all();
}

void TestRequest::SetResultCode(int32_t code) {
  std::lock_guard<std::mutex> lock(fill_->mutex);
  ++fill_->set_code_calls;
  fill_->code = code;
  fill_->filled.notify_all();
}

void TestRequest::Clone(IHttpRequest** out) {
  if (fail_clone_) {
    *out = nullptr;
    return;
  }
  auto* copy = new TestRequest(values_);
  copy->AddRef();  // the caller's reference
  std::lock_guard<std::mutex> lock(clone_mutex_);
  last_clone_ = copy;
  last_clone_fill_ = copy->fill_;
  *out = copy;
}

std::shared_ptr<FillRecord> TestRequest::LastCloneFill() {
  std::lock_guard<std::mutex> lock(clone_mutex_);
  return last_clone_fill_;
}

TestRequest* TestRequest::LastClone() {
  std::lock_guard<std::mutex> lock(clone_mutex_);
  return last_clone_;
}

}  // namespace fetch_test
