// A counted task that runs a std::function: for tests that post code to a task runner.
#pragma once

#include <functional>
#include <utility>

#include "base/runnable_task.h"
#include "base/smart_ptr.h"
#include "base/smart_ref.h"

namespace kuvo_test {

class ClosureTask : public Base::CSmartRefImpl<Base::CRunnableTask> {
 public:
  explicit ClosureTask(std::function<void()> fn) : fn_(std::move(fn)) {}
  void Run() override { fn_(); }

 private:
  std::function<void()> fn_;
};

inline Base::CSmartPtr<Base::CRunnableTask> NewClosureTask(std::function<void()> fn) {
  return Base::CSmartPtr<Base::CRunnableTask>(new ClosureTask(std::move(fn)));
}

}  // namespace kuvo_test
