#include "platform/last_error.h"

#include <windows.h>

namespace platform {

ErrorCode GetLastErrorCode() {
  return ::GetLastError();
}
void SetLastErrorCode(ErrorCode code) {
  ::SetLastError(code);
}

}  // namespace platform
