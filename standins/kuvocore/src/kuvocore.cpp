// The Kuvocore exports over one process-wide state: the task runner and timer service of the
// current Startup.
#include "kuvocore.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "base/runnable_function.h"
#include "kuvo_host/thread_task_runner.h"
#include "kuvocore_control.h"
#include "timer_service.h"

namespace {

struct Core {
  std::mutex mutex;
  kuvo_host::ThreadTaskRunner* runner = nullptr;  // guarded by mutex; null while not started
  kuvocore::TimerService* timers = nullptr;       // likewise
  // Services of earlier Startups. They are kept, stopped, for the life of the process: a runner
  // pointer handed to a component stays usable (posts are dropped), and a service shut down
  // from its own thread is still needed until that thread ends.
  std::vector<std::unique_ptr<kuvo_host::ThreadTaskRunner>> retired_runners;
  std::vector<std::unique_ptr<kuvocore::TimerService>> retired_timers;

  std::atomic<uint32_t> last_timer_id{0};
  std::atomic<int> start_calls{0};
  std::atomic<int> stop_calls{0};
  std::atomic<int> remove_calls{0};
  std::atomic<int> fired{0};
};

// Never destroyed: its threads may outlive static destruction at process exit, and on Windows
// joining threads while the library is being unloaded would deadlock.
Core& TheCore() {
  static Core* core = new Core;
  return *core;
}

kuvocore::TimerService* Timers() {
  Core& core = TheCore();
  std::lock_guard<std::mutex> lock(core.mutex);
  return core.timers;
}

kuvo_host::ThreadTaskRunner* Runner() {
  Core& core = TheCore();
  std::lock_guard<std::mutex> lock(core.mutex);
  return core.runner;
}

void RunPostedTimerCall(kuvocore::TimerService* timers, uint64_t call) {
  timers->RunPostedCall(call);
}

void ResetCounters(Core& core) {
  core.start_calls = 0;
  core.stop_calls = 0;
  core.remove_calls = 0;
  core.fired = 0;
}

}  // namespace

extern "C" {

KUVOCORE_API bool Kuvocore_Startup() {
  Core& core = TheCore();
  std::lock_guard<std::mutex> lock(core.mutex);
  if (core.runner) return true;
  ResetCounters(core);
  auto runner = std::make_unique<kuvo_host::ThreadTaskRunner>();
  kuvo_host::ThreadTaskRunner* raw_runner = runner.get();
  auto timers = std::make_unique<kuvocore::TimerService>(
      &core.fired,
      [raw_runner](kuvocore::TimerService* service, uint64_t call) {
        raw_runner->PostTask(Base::NewRunnableFunction(&RunPostedTimerCall, service, call));
        return true;
      },
      [raw_runner] { return raw_runner->IsCurrentThread(); });
  core.runner = runner.get();
  core.timers = timers.get();
  core.retired_runners.push_back(std::move(runner));
  core.retired_timers.push_back(std::move(timers));
  return true;
}

KUVOCORE_API void Kuvocore_Shutdown() {
  Core& core = TheCore();
  kuvo_host::ThreadTaskRunner* runner = nullptr;
  kuvocore::TimerService* timers = nullptr;
  {
    std::lock_guard<std::mutex> lock(core.mutex);
    runner = core.runner;
    timers = core.timers;
    core.runner = nullptr;
    core.timers = nullptr;
  }
  // Timers first, so that no timer call posts to a runner that is going away. Both objects
  // outlive this call (they stay in the retired lists), so no lock is needed while they stop.
  if (timers) timers->Shutdown();
  if (runner) runner->Stop();
}

KUVOCORE_API bool GetKuvocoreObject(int kind, void** out) {
  if (!out) return false;
  *out = nullptr;
  if (kind != kKuvocoreTaskRunner) return false;
  kuvo_host::ThreadTaskRunner* runner = Runner();
  if (!runner) return false;
  *out = static_cast<Base::ITaskRunner*>(runner);
  return true;
}

KUVOCORE_API uint32_t CreateTimerID() {
  uint32_t id = 0;
  do {
    id = TheCore().last_timer_id.fetch_add(1) + 1;
  } while (id == 0);
  return id;
}

KUVOCORE_API bool StartTimerEx(uint32_t id, uint32_t interval_ms, Timer::ITimerEvent* sink) {
  TheCore().start_calls.fetch_add(1);
  kuvocore::TimerService* timers = Timers();
  return timers && timers->Start(id, interval_ms, sink);
}

KUVOCORE_API bool StopTimerEx(uint32_t id) {
  TheCore().stop_calls.fetch_add(1);
  kuvocore::TimerService* timers = Timers();
  return timers && timers->Stop(id);
}

KUVOCORE_API void RemoveTimerCallBack(Timer::ITimerEvent* sink) {
  TheCore().remove_calls.fetch_add(1);
  if (kuvocore::TimerService* timers = Timers()) timers->RemoveSink(sink);
}

KUVOCORE_API bool KuvocoreTest_UseManualClock(bool manual) {
  kuvocore::TimerService* timers = Timers();
  if (!timers) return false;
  timers->UseManualClock(manual);
  return true;
}

KUVOCORE_API bool KuvocoreTest_FireTimersOnRunner(bool on) {
  kuvocore::TimerService* timers = Timers();
  return timers && timers->FireOnRunner(on);
}

KUVOCORE_API bool KuvocoreTest_HoldTimerCalls(bool on) {
  kuvocore::TimerService* timers = Timers();
  if (!timers) return false;
  timers->HoldCalls(on);
  return true;
}

KUVOCORE_API bool KuvocoreTest_WaitTimerCallHeld(uint32_t timeout_ms) {
  kuvocore::TimerService* timers = Timers();
  return timers && timers->WaitCallHeld(timeout_ms);
}

KUVOCORE_API bool KuvocoreTest_AdvanceClock(uint32_t ms) {
  kuvocore::TimerService* timers = Timers();
  return timers && timers->Advance(ms);
}

KUVOCORE_API bool KuvocoreTest_WaitRunnerIdle() {
  kuvo_host::ThreadTaskRunner* runner = Runner();
  if (!runner || runner->IsCurrentThread()) return false;
  runner->WaitIdle();
  return true;
}

KUVOCORE_API int KuvocoreTest_TimerStartCalls() {
  return TheCore().start_calls.load();
}
KUVOCORE_API int KuvocoreTest_TimerStopCalls() {
  return TheCore().stop_calls.load();
}
KUVOCORE_API int KuvocoreTest_RemoveCalls() {
  return TheCore().remove_calls.load();
}
KUVOCORE_API int KuvocoreTest_TimersFired() {
  return TheCore().fired.load();
}
KUVOCORE_API void KuvocoreTest_ResetCounters() {
  ResetCounters(TheCore());
}

KUVOCORE_API std::size_t KuvocoreTest_PendingTimerIds(uint32_t* ids, std::size_t capacity) {
  kuvocore::TimerService* timers = Timers();
  if (!timers) return 0;
  const std::vector<uint32_t> pending = timers->PendingIds();
  if (ids) std::copy_n(pending.begin(), std::min(capacity, pending.size()), ids);
  return pending.size();
}

}  // extern "C"
