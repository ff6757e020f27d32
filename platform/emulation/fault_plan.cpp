#include "platform/testing/fault_plan.h"

#include <algorithm>

namespace platform {

bool FaultPlan::ShouldFail(const char* call) {
  log_.emplace_back(call);
  bool fail = fail_number_ != 0 && log_.size() == fail_number_;
  if (!fail && !fail_name_.empty() && fail_name_ == call) {
    fail =
        static_cast<size_t>(std::count(log_.begin(), log_.end(), fail_name_)) == fail_occurrence_;
  }
  if (fail) {
    failed_call_ = call;
    answer_ = planned_answer_;
  }
  return fail;
}

void FaultPlan::FailCallNumber(size_t number, uint32_t answer) {
  fail_number_ = number == 0 ? 0 : log_.size() + number;
  planned_answer_ = answer;
}

void FaultPlan::FailNamedCall(const std::string& call, size_t occurrence, uint32_t answer) {
  fail_name_ = call;
  fail_occurrence_ = occurrence + static_cast<size_t>(std::count(log_.begin(), log_.end(), call));
  planned_answer_ = answer;
}

void FaultPlan::Reset() {
  *this = FaultPlan();
}

size_t FaultPlan::CountOf(const std::string& call) const {
  return static_cast<size_t>(std::count(log_.begin(), log_.end(), call));
}

}  // namespace platform
