// The calling thread's last error and sleeping, as services that tests can replace.
#pragma once

#include <cstdint>

#include "platform/error_codes.h"

namespace platform {

class LastError {
 public:
  virtual ~LastError() = default;
  virtual ErrorCode Get() = 0;
  virtual void Set(ErrorCode code) = 0;
};

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// platform/last_error.h and platform/sync.h.
LastError& ProcessLastError();
Sleeper& ProcessSleeper();

}  // namespace platform
