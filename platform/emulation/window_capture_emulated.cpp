#include "platform/testing/window_capture.h"

namespace platform {

bool CaptureWindowForTesting(WindowHandle, std::vector<uint32_t>*, int*, int*) {
  return false;
}

}  // namespace platform
