// KuvoFetch: HTTP(S) GET and POST requests run on threads the host lends, with retries, and
// answered on the host's task-runner thread.
//
// Contract with the host:
// - The exports are called on the task runner's thread (the one given to HttpInit).
// - HttpInit borrows the thread service and the task runner; they must outlive HttpUnInit.
// - Each accepted request (id != 0) is answered by exactly one call of its callback, on the
//   runner's thread, unless HttpStopRequest or HttpUnInit ends it first; a request with 0
//   attempts is never answered. The callback receives the object that `Clone` yielded, already
//   filled through SetResultCode and SetResponse.
// - Result codes: 0 success (HTTP 200, body stored), 404, another HTTP status, a libcurl result
//   code, or 93 when the request could not be set up (bad method or content type, or a header
//   name or value holding CR, LF or NUL: such a request is answered 93 without any attempt).
// - Strings and the header map cross this boundary as standard-library objects by value: the
//   host and the library must be built with the same toolchain and share one C++ runtime.
//
// What the host must provide:
// - ITaskRunner::PostTask must never block (queue and return): workers call it from their own
//   threads, and HttpUnInit waits on the runner's thread for a worker that is inside PostTask.
//   IsCurrentThread must answer from any thread.
// - IThreadService::StartThread runs the job on a thread of its own; StopThread may wait for
//   that thread or only forget the key: the library relies on neither.
// - Proxies: a request whose GetProxy names no scheme ("://") sets no proxy, and libcurl then
//   honours the proxy environment variables (http_proxy, HTTPS_PROXY, ALL_PROXY, NO_PROXY) of
//   the process. A host that must go direct clears them (or sets NO_PROXY=*) before HttpInit.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/smart_ptr.h"
#include "base/task_runner.h"
#include "base/thread_service.h"

#if defined(_WIN32)
#if defined(KUVO_FETCH_BUILDING)
#define KUVO_FETCH_API __declspec(dllexport)
#else
#define KUVO_FETCH_API __declspec(dllimport)
#endif
#else
#define KUVO_FETCH_API __attribute__((visibility("default")))
#endif

// Methods and content types a request may name.
enum : int32_t { kHttpMethodGet = 1, kHttpMethodPost = 2 };
enum : int32_t {
  kHttpContentJson = 1,
  kHttpContentXml = 2,
  kHttpContentForm = 3,  // the only one a GET accepts
  kHttpContentOctetStream = 4,
  kHttpContentProtobuf = 5,
};
// Result code of a request that could not be set up.
constexpr int32_t kSetupFailed = 93;

// A request described by the host. Counted: the library takes and drops references on the
// runner's thread only. The library calls the getters on the thread of HttpStartRequest and the
// setters on the runner's thread.
class IHttpRequest {
 public:
  virtual long AddRef() = 0;
  virtual long Release() = 0;
  virtual std::string GetUrl() = 0;   // absolute URL, used as given
  virtual std::string GetData() = 0;  // query for GET, body for POST; any bytes
  virtual void SetResponse(const std::string& response) = 0;
  virtual void SetResultCode(int32_t code) = 0;
  virtual uint32_t GetAttempts() = 0;    // at most this many transfers
  virtual int32_t GetMethod() = 0;       // kHttpMethodGet or kHttpMethodPost
  virtual int32_t GetContentType() = 0;  // 1..5
  virtual uint32_t GetRetryDelay() = 0;  // milliseconds between two attempts
  virtual std::map<std::string, std::string> GetHeaders() = 0;
  virtual std::string GetProxy() = 0;  // applied only when it contains "://"
  // Writes a new counted reference (owned by the caller) to an object with the same values, or
  // null when none could be made.
  virtual void Clone(IHttpRequest** out) = 0;

 protected:
  ~IHttpRequest() = default;
};

// Completion: called on the runner's thread with the id HttpStartRequest returned.
using HttpRequestCallback = void (*)(uint32_t request_id, IHttpRequest* request);

extern "C" {

// KuvoFetch writes no log: every failure shows in a result (below) or in the result code the
// completion carries (see the top of this file).
//
// Binds the services (replacing earlier ones) and sets libcurl up once. False when either is
// null.
KUVO_FETCH_API bool HttpInit(Base::IThreadService* thread_service, Base::ITaskRunner* task_runner);
// Starts `request` (a clone of it) on a thread of the thread service. Returns its id, never 0
// for an accepted request; 0 when nothing was started: `request` is null, HttpInit has not
// succeeded (or HttpUnInit came after it), `Clone` wrote null, memory ran out, or the thread
// service's StartThread answered false. A request that is accepted but cannot be set up (bad
// method or content type, CR/LF/NUL in a header) is answered later with result code 93.
KUVO_FETCH_API uint32_t HttpStartRequest(IHttpRequest* request, HttpRequestCallback callback);
// Forgets a pending request: no callback, the object is not filled. Unknown ids are ignored.
KUVO_FETCH_API void HttpStopRequest(uint32_t request_id);
// Forgets every pending request (StopThread for each, ascending ids), tears libcurl down and
// unbinds the services.
KUVO_FETCH_API void HttpUnInit();

}  // extern "C"
