#include "platform/sigpipe_guard.h"

namespace platform {

// Windows has no SIGPIPE: writes to a closed socket fail with an error code.
SigpipeGuard::SigpipeGuard() = default;
SigpipeGuard::~SigpipeGuard() = default;

}  // namespace platform
