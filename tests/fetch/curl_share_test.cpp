// The share handle's lock callbacks: one lock per kind, null handles and odd kinds tolerated.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "curl_share.h"

namespace {

using Http::CurlShare;

TEST(CurlShare, MakesAShareHandle) {
  auto share = CurlShare::Create();
  ASSERT_TRUE(share);
  EXPECT_NE(share->handle(), nullptr);
}

TEST(CurlShare, LockCallbacksTolerateNullHandleAndUnknownKinds) {
  auto share = CurlShare::Create();
  // The share object's own lock comes with a null easy handle.
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_SHARE, CURL_LOCK_ACCESS_SINGLE, share.get());
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_SHARE, share.get());
  // No user pointer, or kinds libcurl does not have: nothing to lock, and no crash.
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_DNS, CURL_LOCK_ACCESS_SINGLE, nullptr);
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_DNS, nullptr);
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_LAST, CURL_LOCK_ACCESS_SINGLE, share.get());
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_LAST, share.get());
  CurlShare::Lock(nullptr, static_cast<curl_lock_data>(-1), CURL_LOCK_ACCESS_SINGLE, share.get());
  CurlShare::Unlock(nullptr, static_cast<curl_lock_data>(-1), share.get());
}

TEST(CurlShare, EachKindHasItsOwnLock) {
  auto share = CurlShare::Create();
  // This thread holds the DNS lock; another thread must still get the share and connection
  // locks (with one lock for all kinds it would block until the DNS lock is left).
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_DNS, CURL_LOCK_ACCESS_SINGLE, share.get());
  auto other = std::async(std::launch::async, [&] {
    for (curl_lock_data kind : {CURL_LOCK_DATA_SHARE, CURL_LOCK_DATA_CONNECT,
                                CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_COOKIE}) {
      CurlShare::Lock(nullptr, kind, CURL_LOCK_ACCESS_SINGLE, share.get());
      CurlShare::Unlock(nullptr, kind, share.get());
    }
    return true;
  });
  const bool done = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_DNS, share.get());
  ASSERT_TRUE(done);
  EXPECT_TRUE(other.get());
}

}  // namespace
