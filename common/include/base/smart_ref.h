// Reference counting shared by every object that crosses a thread or a component boundary.
//
// Slot order is part of the contract with hosts and in-house libraries: AddRef, Release, then the
// virtual destructor. Counts may change on any thread.
#pragma once

#include <atomic>

namespace Base {

class ISmartRef {
 public:
  // Returns the new count.
  virtual long AddRef() = 0;
  // Returns the new count; the object destroys itself when it reaches 0.
  virtual long Release() = 0;
  virtual ~ISmartRef() = default;
};

// Implements ISmartRef's counting for a concrete class. `Interface` is the interface the class
// derives from (which itself derives, possibly virtually, from ISmartRef).
template <typename Interface>
class CSmartRefImpl : public Interface {
 public:
  long AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  long Release() override {
    const long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  CSmartRefImpl() = default;
  ~CSmartRefImpl() override = default;

 private:
  std::atomic<long> refs_{0};
};

}  // namespace Base
