// A unit of work that a task runner runs on its own thread.
#pragma once

#include "base/smart_ref.h"

namespace Base {

class CRunnableTask : public virtual ISmartRef {
 public:
  virtual void Run() = 0;
};

}  // namespace Base
