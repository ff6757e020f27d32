// Test control of the Kuvocore stand-in: a manual clock, counters and waits for tests and the
// demo. Counters cover the calls made since the last Startup or KuvocoreTest_ResetCounters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kuvocore.h"

extern "C" {

// Switches the timer clock to manual (time moves only through KuvocoreTest_AdvanceClock) or
// back to real time. The clock never jumps: it continues from where it stands. False when not
// started.
KUVOCORE_API bool KuvocoreTest_UseManualClock(bool manual);
// Moves the manual clock on by `ms` and returns after every timer due by then has fired, in due
// order, and its OnTimer call has returned (called from inside OnTimer, it returns at once).
// False when not started or the clock is not manual.
KUVOCORE_API bool KuvocoreTest_AdvanceClock(uint32_t ms);
// Fires later timers in tasks posted to the task runner instead of on the timer thread, as a
// Kuvocore that runs everything on one thread would. StopTimerEx and RemoveTimerCallBack then
// drop a call posted but not yet begun and wait for one running on the runner (unless called
// there). AdvanceClock returns once the due calls are posted. False when not started.
KUVOCORE_API bool KuvocoreTest_FireTimersOnRunner(bool on);
// While on, each OnTimer call, once begun, waits before calling its sink until a StopTimerEx or
// RemoveTimerCallBack waits for it, or holding is switched off. False when not started.
KUVOCORE_API bool KuvocoreTest_HoldTimerCalls(bool on);
// True once a call is held as above, within `timeout_ms`.
KUVOCORE_API bool KuvocoreTest_WaitTimerCallHeld(uint32_t timeout_ms);
// Blocks until every task posted so far to the task runner has run. False when not started or
// when called on the runner's own thread.
KUVOCORE_API bool KuvocoreTest_WaitRunnerIdle();

KUVOCORE_API int KuvocoreTest_TimerStartCalls();  // StartTimerEx calls
KUVOCORE_API int KuvocoreTest_TimerStopCalls();   // StopTimerEx calls
KUVOCORE_API int KuvocoreTest_RemoveCalls();      // RemoveTimerCallBack calls
KUVOCORE_API int KuvocoreTest_TimersFired();      // OnTimer calls made
KUVOCORE_API void KuvocoreTest_ResetCounters();

// Writes up to `capacity` pending timer ids, in ascending order, to `ids` (which may be null when
// `capacity` is 0) and returns how many are pending.
KUVOCORE_API std::size_t KuvocoreTest_PendingTimerIds(uint32_t* ids, std::size_t capacity);

}  // extern "C"
