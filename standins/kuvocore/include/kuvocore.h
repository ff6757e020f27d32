// Kuvocore: the in-house base library (a task runner and a timer service). Components load it by
// name ("Kuvocore.dll", "libKuvocore.so" elsewhere); the host links it and brackets its use with
// Kuvocore_Startup and Kuvocore_Shutdown. Any thread may call any export.
//
// Timers fire once, on the timer service's own thread, which calls `sink->IsAlive()` and then,
// when that is true, `sink->OnTimer(id)`. Starting an id that is pending restarts it.
// StopTimerEx and RemoveTimerCallBack guarantee that no call for that id or sink starts after
// they return, and they wait for one already running on the timer thread (unless they are called
// from inside OnTimer on that thread), so a sink may be deleted as soon as RemoveTimerCallBack
// returns. The service never deletes a sink.
#pragma once

#include <cstdint>

#include "base/timer_event.h"

#if defined(_WIN32)
#if defined(KUVOCORE_BUILDING)
#define KUVOCORE_API __declspec(dllexport)
#else
#define KUVOCORE_API __declspec(dllimport)
#endif
#else
#define KUVOCORE_API __attribute__((visibility("default")))
#endif

// GetKuvocoreObject kinds.
constexpr int kKuvocoreTaskRunner = 2;  // a Base::ITaskRunner*

extern "C" {

// Starts the task runner thread and the timer thread. True when running (also when it already
// was). Each start begins with the real clock and zeroed test counters.
KUVOCORE_API bool Kuvocore_Startup();
// Drops pending timers, waits for a running OnTimer, stops the timer thread, then stops the task
// runner after it has run every task queued so far. A runner pointer handed out earlier stays
// valid and drops what is posted to it afterwards.
KUVOCORE_API void Kuvocore_Shutdown();

// Kind 2 (kKuvocoreTaskRunner) while started: writes the Base::ITaskRunner* to *out and returns
// true. Otherwise writes null (when `out` is not null) and returns false.
KUVOCORE_API bool GetKuvocoreObject(int kind, void** out);
// A new timer id; never 0.
KUVOCORE_API uint32_t CreateTimerID();
// Arms timer `id` to fire once after `interval_ms`. False (nothing armed) for id 0, a null sink,
// or before Startup / after Shutdown.
KUVOCORE_API bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink);
// Disarms timer `id`; true when it was pending.
KUVOCORE_API bool StopTimerEx(uint32_t id);
// Disarms every timer of `sink`.
KUVOCORE_API void RemoveTimerCallBack(Timer::ITimerEvent* sink);

}  // extern "C"
