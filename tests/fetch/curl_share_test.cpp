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

// Two threads add to one plain counter under a kind's lock, with a null easy handle as libcurl
// passes for the share object's own lock: every addition counts (and ThreadSanitizer sees the
// lock order) only if Lock really locks and Unlock really unlocks; an Unlock that left the lock
// held would stop the other thread for good.
void CountUnderLock(CurlShare* share, curl_lock_data kind, curl_lock_access access, long* counter,
                    int rounds) {
  for (int i = 0; i < rounds; ++i) {
    CurlShare::Lock(nullptr, kind, access, share);
    const long seen = *counter;
    std::this_thread::yield();  // widen the window a missing lock would leave open
    *counter = seen + 1;
    CurlShare::Unlock(nullptr, kind, share);
  }
}

TEST(CurlShare, LockWithANullHandleLocksAndUnlockUnlocks) {
  auto share = CurlShare::Create();
  constexpr int kRounds = 2000;
  for (curl_lock_data kind : {CURL_LOCK_DATA_SHARE, CURL_LOCK_DATA_DNS}) {
    long counter = 0;
    auto first = std::async(std::launch::async, CountUnderLock, share.get(), kind,
                            CURL_LOCK_ACCESS_SINGLE, &counter, kRounds);
    auto second = std::async(std::launch::async, CountUnderLock, share.get(), kind,
                             CURL_LOCK_ACCESS_SHARED, &counter, kRounds);
    ASSERT_EQ(first.wait_for(std::chrono::seconds(60)), std::future_status::ready) << kind;
    ASSERT_EQ(second.wait_for(std::chrono::seconds(60)), std::future_status::ready) << kind;
    EXPECT_EQ(counter, 2 * kRounds) << "kind " << kind;
  }
}

TEST(CurlShare, KindsAndCallsOutsideLibcurlsRangeLockNothing) {
  auto share = CurlShare::Create();
  // Ignored: no user pointer, kinds libcurl does not have, an access that asks for no lock.
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_DNS, CURL_LOCK_ACCESS_SINGLE, nullptr);
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_LAST, CURL_LOCK_ACCESS_SINGLE, share.get());
  CurlShare::Lock(nullptr, static_cast<curl_lock_data>(-1), CURL_LOCK_ACCESS_SINGLE, share.get());
  CurlShare::Lock(nullptr, CURL_LOCK_DATA_DNS, CURL_LOCK_ACCESS_NONE, share.get());
  // None of them left a lock held on this thread: another thread gets every kind.
  auto other = std::async(std::launch::async, [&] {
    for (int kind = 0; kind < CURL_LOCK_DATA_LAST; ++kind) {
      CurlShare::Lock(nullptr, static_cast<curl_lock_data>(kind), CURL_LOCK_ACCESS_SINGLE,
                      share.get());
      CurlShare::Unlock(nullptr, static_cast<curl_lock_data>(kind), share.get());
    }
  });
  ASSERT_EQ(other.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  // Their unlocks are ignored as well (an unbalanced Leave would fail or abort here).
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_DNS, nullptr);
  CurlShare::Unlock(nullptr, CURL_LOCK_DATA_LAST, share.get());
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
