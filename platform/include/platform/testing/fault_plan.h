// Failing chosen calls of an emulated service, in the manner of curl's torture tests.
//
// Every fallible call of the emulation (platform/testing/emulated_machine.h) first asks the
// plan, which logs the call's name and says whether this one fails. A torture test runs a path
// once with no failure planned to count its fallible calls, then once per call with only that
// call failed. A failed call answers the way the system fails that call (a null handle or false
// with the last error, an error code, a failed HRESULT); `answer`, when not 0, replaces the
// emulation's choice of code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class FaultPlan {
 public:
  // True when the call fails. Counts and logs every call.
  bool ShouldFail(const char* call);

  // Fails the `number`th fallible call from now on (1-based); 0 fails none.
  void FailCallNumber(size_t number, uint32_t answer = 0);
  // Fails the `occurrence`th call named `call` (1-based).
  void FailNamedCall(const std::string& call, size_t occurrence = 1, uint32_t answer = 0);
  // Forgets the plan, the count and the log.
  void Reset();

  // The code a failed call should answer instead of its usual one (0: the usual one).
  uint32_t answer() const { return answer_; }
  size_t calls() const { return log_.size(); }
  const std::vector<std::string>& log() const { return log_; }
  size_t CountOf(const std::string& call) const;
  // The name of the call that was failed, empty while none was.
  const std::string& failed_call() const { return failed_call_; }

 private:
  size_t fail_number_ = 0;
  std::string fail_name_;
  size_t fail_occurrence_ = 0;
  uint32_t planned_answer_ = 0;
  uint32_t answer_ = 0;
  std::vector<std::string> log_;
  std::string failed_call_;
};

}  // namespace platform
