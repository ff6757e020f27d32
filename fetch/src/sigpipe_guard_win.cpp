#include "sigpipe_guard.h"

namespace Http {

// Windows has no SIGPIPE: writes to a closed socket fail with an error code.
SigpipeGuard::SigpipeGuard() = default;
SigpipeGuard::~SigpipeGuard() = default;

}  // namespace Http
