// The shared steps of every forwarder: decide whether a report is handled now, on the task
// runner's own thread, or posted there as a task; and run its handler so that nothing it throws
// leaves the library.
#pragma once

#include <memory>

#include "im_mgr.h"
#include "post_reports_here.h"

namespace kuvochat {

// The manager a report belongs to: the one current when the SDK raised it (or that issued the
// request it answers). A later manager never handles it.
using ManagerRef = std::weak_ptr<CImMgr>;

// Posts the task built by `make_task` to the manager's runner, whatever the thread; true when
// posted. Nothing is posted when the manager is gone or closed, or has no runner.
template <typename MakeTask>
bool PostReport(const ManagerRef& target, MakeTask&& make_task) {
  std::shared_ptr<CImMgr> manager = target.lock();
  if (!manager || manager->closed()) return false;
  Base::ITaskRunner* runner = manager->task_runner();
  if (runner == nullptr) return false;
  try {
    runner->PostTask(make_task());
    return true;
  } catch (...) {
    // The copy of the report could not be made: it is lost, the reporting thread is not.
    return false;
  }
}

// The manager when the report is to be handled here and now; otherwise posts the task built by
// `make_task` (when there is a runner) and gives null. When the manager is gone or closed, or has
// no runner, the report is dropped and `make_task` is not called.
template <typename MakeTask>
std::shared_ptr<CImMgr> HandleHereOrPost(const ManagerRef& target, MakeTask&& make_task) {
  std::shared_ptr<CImMgr> manager = target.lock();
  if (!manager || manager->closed()) return nullptr;
  Base::ITaskRunner* runner = manager->task_runner();
  if (runner == nullptr) return nullptr;
  if (runner->IsCurrentThread() && !PostReportsHere::Active()) return manager;
  PostReport(target, make_task);
  return nullptr;
}

// Calls `handle(*manager)` when there is a manager; nothing it throws goes further.
template <typename Handle>
void RunHandler(const std::shared_ptr<CImMgr>& manager, Handle&& handle) {
  if (!manager) return;
  try {
    handle(*manager);
  } catch (...) {
  }
}

}  // namespace kuvochat
