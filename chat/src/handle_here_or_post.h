// The shared first step of every forwarder: decide whether a report is handled now, on the task
// runner's own thread, or posted there as a task.
#pragma once

#include <memory>

#include "im_mgr.h"

namespace kuvochat {

// The manager when the report is to be handled here and now; otherwise posts the task built by
// `make_task` (when there is a runner) and gives null. With no manager or no runner the report is
// dropped, and `make_task` is not called.
template <typename MakeTask>
std::shared_ptr<CImMgr> HandleHereOrPost(MakeTask&& make_task) {
  std::shared_ptr<CImMgr> manager = CImMgr::GetExisting();
  if (!manager) return nullptr;
  Base::ITaskRunner* runner = manager->task_runner();
  if (runner == nullptr) return nullptr;
  if (runner->IsCurrentThread()) return manager;
  runner->PostTask(make_task());
  return nullptr;
}

}  // namespace kuvochat
