#include "curl_obj.h"

#include <limits>

#include "content_type.h"
#include "header_lines.h"

namespace Http {

namespace {
constexpr long kConnectTimeoutSeconds = 5;
constexpr long kTotalTimeoutSeconds = 10;
constexpr long kMaxRedirects = 2;
constexpr long kDnsCacheSeconds = 300;
}  // namespace

CurlObj::CurlObj(CURLSH* share) : easy_(curl_easy_init()) {
  if (!easy_) return;
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy_, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
  if (share) {
    curl_easy_setopt(easy_, CURLOPT_SHARE, share);
    curl_easy_setopt(easy_, CURLOPT_DNS_CACHE_TIMEOUT, kDnsCacheSeconds);
  }
  // Only HTTP(S), also after redirects: a file: or other URL would otherwise "succeed" without
  // any HTTP status, or read local files.
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

CurlObj::~CurlObj() {
  if (easy_) curl_easy_cleanup(easy_);
}

void CurlObj::SetResponseTarget(std::string* response) {
  if (!easy_) return;
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, response);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlObj::WriteBody);
}

void CurlObj::SetProxy(const std::string& proxy) {
  if (proxy.empty() || !easy_ || proxy.find("://") == std::string::npos) return;
  proxy_ = proxy;
  curl_easy_setopt(easy_, CURLOPT_PROXY, proxy_.c_str());
  curl_easy_setopt(easy_, CURLOPT_HTTPPROXYTUNNEL, 1L);
}

uint32_t CurlObj::Perform() {
  if (!easy_) return kSetupFailed;
  std::string effective_url;
  if (method_ == 1) {
    if (content_type_ != 3) return kSetupFailed;
    effective_url = data_.empty() ? url_ : url_ + "?" + data_;
    curl_easy_setopt(easy_, CURLOPT_URL, effective_url.c_str());
  } else if (method_ == 2) {
    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    // Always give the body explicitly: with CURLOPT_POST alone libcurl sends a chunked body
    // read from the process's standard input.
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, data_.data());
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(data_.size()));
  } else {
    return kSetupFailed;
  }
  curl_slist* headers = BuildHeaderList();
  if (!headers) return kSetupFailed;
  const CURLcode result = curl_easy_perform(easy_);
  curl_slist_free_all(headers);
  return static_cast<uint32_t>(result);
}

uint32_t CurlObj::ReadStatus(long* status) {
  if (!easy_) return kSetupFailed;
  long code = 0;
  const CURLcode result = curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
  if (result == CURLE_OK) *status = code;
  return static_cast<uint32_t>(result);
}

curl_slist* CurlObj::BuildHeaderList() {
  const char* content_line = ContentTypeLine(content_type_);
  if (!easy_ || !content_line || !HeaderFieldsAreSafe(headers_)) return nullptr;
  curl_slist* list = curl_slist_append(nullptr, content_line);
  if (!list) return nullptr;
  // std::map orders names by their bytes, which is the order the lines go out in.
  for (const auto& [name, value] : headers_) {
    const std::string line = name + ":" + value;
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (!grown) {
      // Sending a request with a header missing would be a different request: give up.
      curl_slist_free_all(list);
      return nullptr;
    }
    list = grown;
  }
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, list);
  return list;
}

size_t CurlObj::WriteBody(char* data, size_t size, size_t count, void* user) {
  if (count != 0 && size > std::numeric_limits<size_t>::max() / count) return 0;
  const size_t bytes = size * count;
  if (user && bytes != 0) {
    try {
      static_cast<std::string*>(user)->append(data, bytes);
    } catch (...) {
      // Out of memory (or a body beyond what a string can hold): libcurl ends the transfer
      // with a write error. No exception may unwind through libcurl's C frames.
      return 0;
    }
  }
  return bytes;
}

}  // namespace Http
