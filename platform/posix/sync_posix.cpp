#include "platform/sync.h"

#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <new>

namespace platform {

namespace {

static_assert(sizeof(pthread_mutex_t) <= 64, "CriticalSection storage is too small");

pthread_mutex_t* Mutex(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}

// A lock that cannot be made or taken leaves no safe way on; Windows raises an exception there.
void Check(int result) {
  if (result != 0) std::abort();
}

}  // namespace

CriticalSection::CriticalSection() {
  pthread_mutexattr_t attributes;
  Check(pthread_mutexattr_init(&attributes));
  Check(pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE));
  Check(pthread_mutex_init(new (storage_) pthread_mutex_t, &attributes));
  pthread_mutexattr_destroy(&attributes);
}

CriticalSection::~CriticalSection() {
  pthread_mutex_destroy(Mutex(storage_));
}

void CriticalSection::Enter() {
  Check(pthread_mutex_lock(Mutex(storage_)));
}

void CriticalSection::Leave() {
  Check(pthread_mutex_unlock(Mutex(storage_)));
}

void SleepMilliseconds(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
