// Failing chosen calls of the emulated Windows, in the manner of curl's torture tests.
//
// Every fallible emulated call (windows, message boxes, the registry, and the machine's devices,
// IP helper, WMI and COM module lock) asks FallibleCallFails (platform/fault_hook.h), which asks the innermost plan
// installed: a ScopedFaultPlan for its lifetime, an EmulatedMachine's for the machine's, from any
// thread. The plan logs the call's name and says whether this one fails. A torture test runs a
// path once with no failure planned to count its fallible calls, then once per call with only that
// call failed. A failed call answers the way the system fails that call (a null handle or false
// with the last error, an error code, a failed HRESULT); a planned answer, when not 0, replaces
// the emulation's choice of code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace platform {

class FaultPlan {
 public:
  virtual ~FaultPlan() = default;

  // True when the call fails; sets `*answer` (when given) to the planned answer, 0 for the
  // emulation's own. Counts and logs every call.
  bool ShouldFail(const char* call, uint32_t* answer = nullptr);

  // Fails the `number`th fallible call counted since the plan was made or reset (1-based), as
  // the counting run numbers them; 0 fails none.
  void FailCallNumber(size_t number, uint32_t answer = 0);
  // Fails the `occurrence`th call named `call` from now on (1-based).
  void FailNamedCall(const std::string& call, size_t occurrence = 1, uint32_t answer = 0);
  // Fails every call named `call` from now on.
  void FailEveryCallNamed(const std::string& call);
  // Forgets the plan, the count and the log.
  void Reset();

  size_t calls() const;
  std::vector<std::string> log() const;
  size_t CountOf(const std::string& call) const;
  // The calls that were failed, in order; the last of them (empty while none was).
  std::vector<std::string> failed() const;
  std::string failed_call() const;

 private:
  mutable std::mutex mutex_;
  size_t fail_number_ = 0;
  std::string fail_name_;
  size_t fail_occurrence_ = 0;
  uint32_t planned_answer_ = 0;
  std::set<std::string> fail_every_;
  std::vector<std::string> log_;
  std::vector<std::string> failed_;
};

// A plan installed from construction to destruction.
class ScopedFaultPlan : public FaultPlan {
 public:
  ScopedFaultPlan();
  ~ScopedFaultPlan() override;
};

}  // namespace platform
