// TestRequest: a host's request object for the tests. Counted atomically; Clone yields a new
// object with the same values whose fill-in (result code, response) the test reads through
// the original's LastClone().
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "KuvoFetch.h"
#include "base/smart_ptr.h"

namespace fetch_test {

struct RequestValues {
  std::string url;
  std::string data;
  uint32_t attempts = 1;
  int32_t method = kHttpMethodGet;
  int32_t content_type = kHttpContentForm;
  uint32_t retry_delay_ms = 0;
  std::map<std::string, std::string> headers;
  std::string proxy;
};

// What the library wrote into one object.
struct FillRecord {
  std::mutex mutex;
  std::condition_variable filled;
  int set_code_calls = 0;
  int set_response_calls = 0;
  int32_t code = -1;
  std::string response;

  // Waits (bounded, 40 s) until both setters were called.
  bool WaitFilled();
};

class TestRequest final : public IHttpRequest {
 public:
  static Base::CSmartPtr<TestRequest> Make(const RequestValues& values);
  // Objects alive right now, across all tests.
  static int LiveCount();

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

  void FailClonesForTesting() { fail_clone_ = true; }
  // The fill-in of this object and of the last clone made from it (null before any clone).
  std::shared_ptr<FillRecord> fill() const { return fill_; }
  std::shared_ptr<FillRecord> LastCloneFill();
  TestRequest* LastClone();

 private:
  explicit TestRequest(const RequestValues& values);
  ~TestRequest();

  std::atomic<long> refs_{0};
  RequestValues values_;
  std::shared_ptr<FillRecord> fill_ = std::make_shared<FillRecord>();
  bool fail_clone_ = false;
  std::mutex clone_mutex_;
  TestRequest* last_clone_ = nullptr;  // not counted; for identity checks only
  std::shared_ptr<FillRecord> last_clone_fill_;
};

}  // namespace fetch_test
