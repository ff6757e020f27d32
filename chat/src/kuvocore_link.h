// KuvoChat's calls into the in-house base library (Kuvocore): loaded by name on every call and
// never linked; a missing library or export skips the call (false, 0 or nothing).
#pragma once

#include <cstdint>

#include "base/task_runner.h"
#include "base/timer_event.h"

namespace kuvochat {
namespace kuvocore {

// GetKuvocoreObject with kind 2; null when there is none.
Base::ITaskRunner* GetTaskRunner();
uint32_t CreateTimerID();
bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink);
bool StopTimerEx(uint32_t id);
void RemoveTimerCallBack(Timer::ITimerEvent* sink);

}  // namespace kuvocore
}  // namespace kuvochat
