// ITaskRunner: a thread that runs posted tasks one at a time, in the order they were posted.
//
// Lent by the host (KuvoFetch) or by the in-house base library (KuvoChat). Slot order is part of
// the contract: a first slot the components never call, IsCurrentThread, PostTask. The first slot
// is one ordinary virtual function, not a destructor: under the Itanium C++ ABI (g++, mingw-w64)
// a virtual destructor takes two slots and would move every later operation. The components
// never delete a runner; its owner deletes it through its own class. The runner holds a
// reference to each task until it has run it. Tasks cross as C++ objects (CSmartPtr by value), so
// a host that lends a runner is built with the same toolchain and C++ runtime as the components.
#pragma once

#include "base/runnable_task.h"
#include "base/smart_ptr.h"

namespace Base {

class ITaskRunner {
 public:
  // First slot; never called by the components.
  virtual void Reserved() {}
  // True when called on the runner's own thread. Any thread may ask.
  virtual bool IsCurrentThread() = 0;
  // Queues `task`; any thread may post. A runner that has stopped drops the task.
  virtual void PostTask(CSmartPtr<CRunnableTask> task) = 0;

 protected:
  ~ITaskRunner() = default;
};

}  // namespace Base
