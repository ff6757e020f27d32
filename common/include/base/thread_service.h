// IThreadService: lends a thread of its own to each job (IThreadCallback) it is given.
//
// Slot orders are part of the contract with hosts. IThreadCallback: AddRef, Release, destructor,
// GetName, Run. IThreadService: a first slot not called, StartThread, StopThread; the first slot
// is one ordinary virtual function (a virtual destructor would take two slots under the Itanium
// C++ ABI), and the components never delete a service. Jobs cross as C++ objects (CSmartPtr by
// value), so a host that lends a service is built with the same toolchain and C++ runtime as the
// components.
#pragma once

#include <cstdint>

#include "base/smart_ptr.h"
#include "base/smart_ref.h"

namespace Base {

class IThreadCallback : public ISmartRef {
 public:
  virtual const char* GetName() = 0;
  // Runs on the lent thread; the service holds a reference while it runs.
  virtual void Run() = 0;
};

class IThreadService {
 public:
  // First slot; never called by the components.
  virtual void Reserved() {}
  // Runs `callback->Run()` on a new thread; writes that thread's key to `*key`. False when no
  // thread could be started (then `*key` is untouched).
  virtual bool StartThread(CSmartPtr<IThreadCallback> callback, uint32_t* key) = 0;
  // Forgets the thread `key`; a service may wait for it to end. `value` is reserved (0).
  virtual bool StopThread(uint32_t key, int value) = 0;

 protected:
  ~IThreadService() = default;
};

}  // namespace Base
