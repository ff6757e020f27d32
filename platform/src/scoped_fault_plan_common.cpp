#include <atomic>
#include <mutex>

#include "platform/fault_hook.h"
#include "platform/testing/system_override.h"

namespace platform {

namespace {

std::mutex& PlanMutex() {
  static std::mutex mutex;
  return mutex;
}
ScopedFaultPlan* g_plan = nullptr;  // guarded by PlanMutex()
std::atomic<bool> g_any_plan{false};

}  // namespace

bool FallibleCallFails(const char* call) {
  if (!g_any_plan.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> lock(PlanMutex());
  return g_plan != nullptr && g_plan->Consult(call != nullptr ? call : "");
}

ScopedFaultPlan::ScopedFaultPlan() {
  std::lock_guard<std::mutex> lock(PlanMutex());
  previous_ = g_plan;
  g_plan = this;
  g_any_plan.store(true, std::memory_order_release);
}

ScopedFaultPlan::~ScopedFaultPlan() {
  std::lock_guard<std::mutex> lock(PlanMutex());
  g_plan = previous_;
  g_any_plan.store(g_plan != nullptr, std::memory_order_release);
}

void ScopedFaultPlan::FailCallsNamed(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  names_.insert(call);
}

void ScopedFaultPlan::FailCallNumber(size_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  numbers_.insert(number);
}

std::vector<std::string> ScopedFaultPlan::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<std::string> ScopedFaultPlan::failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

bool ScopedFaultPlan::Consult(const char* call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.emplace_back(call);
  const bool fails = names_.count(calls_.back()) != 0 || numbers_.count(calls_.size()) != 0;
  if (fails) failed_.push_back(calls_.back());
  return fails;
}

}  // namespace platform
