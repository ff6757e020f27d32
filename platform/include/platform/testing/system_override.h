// Test control of the services in CurrentSystem(): put fakes in place, fail chosen calls.
//
// Overrides and plans are process-wide (on non-Windows builds every library in the process sees
// them; on Windows only the module that compiled the platform code) and nest: the innermost one
// is in force until it goes. Create and destroy them on one thread while no other thread is
// inside a call of the service being swapped.
#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/system.h"

namespace platform {

// Puts the non-null services of `replacement` in place for its lifetime.
class ScopedSystemOverride {
 public:
  explicit ScopedSystemOverride(const System& replacement);
  ~ScopedSystemOverride();
  ScopedSystemOverride(const ScopedSystemOverride&) = delete;
  ScopedSystemOverride& operator=(const ScopedSystemOverride&) = delete;

 private:
  System previous_;
};

// Which fallible calls fail while the plan is installed: every call of the names given, and the
// call whose number (counted from 1 over all fallible calls since installation) is given.
// A torture test first runs a path with an empty plan to count its calls, then once for each.
class ScopedFaultPlan {
 public:
  ScopedFaultPlan();
  ~ScopedFaultPlan();
  ScopedFaultPlan(const ScopedFaultPlan&) = delete;
  ScopedFaultPlan& operator=(const ScopedFaultPlan&) = delete;

  void FailCallsNamed(const std::string& call);
  void FailCallNumber(size_t number);
  // Fallible calls seen so far, in order, failed or not.
  std::vector<std::string> calls() const;
  // The calls that were failed.
  std::vector<std::string> failed() const;

  // Used by the hook: records the call and says whether it fails.
  bool Consult(const char* call);

 private:
  mutable std::mutex mutex_;
  std::set<std::string> names_;
  std::set<size_t> numbers_;
  std::vector<std::string> calls_;
  std::vector<std::string> failed_;
  ScopedFaultPlan* previous_ = nullptr;
};

}  // namespace platform
