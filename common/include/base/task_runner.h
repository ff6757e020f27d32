// ITaskRunner: a thread that runs posted tasks one at a time, in the order they were posted.
//
// Lent by the host (KuvoFetch) or by the in-house base library (KuvoChat). Slot order is part of
// the contract: a first slot the components never call (the destructor here), IsCurrentThread,
// PostTask. The runner holds a reference to each task until it has run it.
#pragma once

#include "base/runnable_task.h"
#include "base/smart_ptr.h"

namespace Base {

class ITaskRunner {
 public:
  virtual ~ITaskRunner() = default;
  // True when called on the runner's own thread. Any thread may ask.
  virtual bool IsCurrentThread() = 0;
  // Queues `task`; any thread may post. A runner that has stopped drops the task.
  virtual void PostTask(CSmartPtr<CRunnableTask> task) = 0;
};

}  // namespace Base
