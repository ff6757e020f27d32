#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/fault_hook.h"
#include "platform/testing/fault_plan.h"

namespace platform {

namespace {

std::mutex& PlansMutex() {
  static std::mutex mutex;
  return mutex;
}
// Installed plans, innermost last; guarded by PlansMutex(). Left to the process at exit, so
// that a plan of a static object may still go after it.
std::vector<FaultPlan*>& Plans() {
  static auto* plans = new std::vector<FaultPlan*>();
  return *plans;
}
std::atomic<bool> g_any_plan{false};

}  // namespace

bool FallibleCallFails(const char* call, uint32_t* answer) {
  if (answer != nullptr) *answer = 0;
  if (!g_any_plan.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> lock(PlansMutex());
  return !Plans().empty() && Plans().back()->ShouldFail(call != nullptr ? call : "", answer);
}

bool FaultPlan::ShouldFail(const char* call, uint32_t* answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.emplace_back(call);
  bool fail = (fail_number_ != 0 && log_.size() == fail_number_) || fail_every_.count(call) != 0;
  if (!fail && !fail_name_.empty() && fail_name_ == call) {
    fail =
        static_cast<size_t>(std::count(log_.begin(), log_.end(), fail_name_)) == fail_occurrence_;
  }
  if (fail) failed_.emplace_back(call);
  if (answer != nullptr) *answer = fail ? planned_answer_ : 0;
  return fail;
}

void FaultPlan::FailCallNumber(size_t number, uint32_t answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_number_ = number;
  planned_answer_ = answer;
}

void FaultPlan::FailNamedCall(const std::string& call, size_t occurrence, uint32_t answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_name_ = call;
  fail_occurrence_ = occurrence + static_cast<size_t>(std::count(log_.begin(), log_.end(), call));
  planned_answer_ = answer;
}

void FaultPlan::FailEveryCallNamed(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_every_.insert(call);
}

void FaultPlan::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_number_ = 0;
  fail_name_.clear();
  fail_occurrence_ = 0;
  planned_answer_ = 0;
  fail_every_.clear();
  log_.clear();
  failed_.clear();
}

size_t FaultPlan::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_.size();
}

std::vector<std::string> FaultPlan::log() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

size_t FaultPlan::CountOf(const std::string& call) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<size_t>(std::count(log_.begin(), log_.end(), call));
}

std::vector<std::string> FaultPlan::failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::string FaultPlan::failed_call() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_.empty() ? std::string() : failed_.back();
}

ScopedFaultPlan::ScopedFaultPlan() {
  std::lock_guard<std::mutex> lock(PlansMutex());
  Plans().push_back(this);
  g_any_plan.store(true, std::memory_order_release);
}

ScopedFaultPlan::~ScopedFaultPlan() {
  std::lock_guard<std::mutex> lock(PlansMutex());
  auto& plans = Plans();
  plans.erase(std::remove(plans.begin(), plans.end(), this), plans.end());
  g_any_plan.store(!plans.empty(), std::memory_order_release);
}

}  // namespace platform
