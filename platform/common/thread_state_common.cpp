#include "platform/thread_state.h"

#include "platform/last_error.h"
#include "platform/sync.h"

namespace platform {

namespace {

class ThreadLastError final : public LastError {
 public:
  ErrorCode Get() override { return GetLastErrorCode(); }
  void Set(ErrorCode code) override { SetLastErrorCode(code); }
};

class ThreadSleeper final : public Sleeper {
 public:
  void Sleep(uint32_t milliseconds) override { SleepMilliseconds(milliseconds); }
};

}  // namespace

LastError& ProcessLastError() {
  static ThreadLastError last_error;
  return last_error;
}

Sleeper& ProcessSleeper() {
  static ThreadSleeper sleeper;
  return sleeper;
}

}  // namespace platform
