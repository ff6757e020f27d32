#include "platform/last_error.h"

namespace platform {

namespace {
thread_local ErrorCode g_last_error = kErrorSuccess;
}  // namespace

ErrorCode GetLastErrorCode() {
  return g_last_error;
}
void SetLastErrorCode(ErrorCode code) {
  g_last_error = code;
}

}  // namespace platform
