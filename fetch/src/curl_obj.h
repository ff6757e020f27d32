// CurlObj: one transfer attempt over a fresh libcurl easy handle. Lives on the worker's stack
// for one attempt; the easy handle is created with the object and cleaned up with it.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <map>
#include <string>

namespace Http {

// Result of an attempt that could not be set up (no handle, bad method or content type).
constexpr uint32_t kSetupFailed = 93;

class CurlObj {
 public:
  // Creates the easy handle and sets the fixed transfer policy on it; `share` (may be null)
  // carries the process-wide DNS cache.
  explicit CurlObj(CURLSH* share);
  ~CurlObj();
  CurlObj(const CurlObj&) = delete;
  CurlObj& operator=(const CurlObj&) = delete;

  void SetUrl(const std::string& url) { url_ = url; }
  void SetData(const std::string& data, int32_t content_type) {
    data_ = data;
    content_type_ = content_type;
  }
  void SetMethod(int32_t method) { method_ = method; }
  void SetHeaders(const std::map<std::string, std::string>& headers) { headers_ = headers; }
  // The body of the answer is appended to `*response` (not owned; must outlive Perform).
  void SetResponseTarget(std::string* response);
  // Applies `proxy` with tunnelling when it names a scheme ("://"); otherwise sets nothing.
  void SetProxy(const std::string& proxy);

  // Runs the transfer: a libcurl result code, or kSetupFailed when nothing could be sent.
  uint32_t Perform();
  // Reads the HTTP status of the last transfer into `*status`; returns the getinfo result, or
  // kSetupFailed (status untouched) without a handle.
  uint32_t ReadStatus(long* status);

  bool has_handle() const { return easy_ != nullptr; }
  // The list sent with the request: the content-type line, then "name:value" in ascending byte
  // order of names. Null without a handle or for an unknown content type. The caller frees it.
  curl_slist* BuildHeaderList();

  // libcurl write callback: appends every byte it is given when `user` is not null.
  static size_t WriteBody(char* data, size_t size, size_t count, void* user);

 private:
  std::string url_;
  std::string data_;
  std::string proxy_;
  int32_t content_type_ = 0;
  int32_t method_ = 0;
  CURL* easy_ = nullptr;
  std::map<std::string, std::string> headers_;
};

}  // namespace Http
