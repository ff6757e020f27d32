// Control calls for benchmarks.
#include <mutex>

#include "tim/tim_control.h"
#include "tim_state.h"

namespace tim_control {

void SetCallLogging(bool on) {
  tim::State& s = tim::State::Get();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.call_log_enabled = on;
  if (!on) s.calls.clear();
}

}  // namespace tim_control
