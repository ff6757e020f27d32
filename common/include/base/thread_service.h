// IThreadService: lends a thread of its own to each job (IThreadCallback) it is given.
//
// Slot orders are part of the contract with hosts. IThreadCallback: AddRef, Release, destructor,
// GetName, Run. IThreadService: a first slot not called (destructor), StartThread, StopThread.
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
  virtual ~IThreadService() = default;
  // Runs `callback->Run()` on a new thread; writes that thread's key to `*key`. False when no
  // thread could be started (then `*key` is untouched).
  virtual bool StartThread(CSmartPtr<IThreadCallback> callback, uint32_t* key) = 0;
  // Forgets the thread `key`; a service may wait for it to end. `value` is reserved (0).
  virtual bool StopThread(uint32_t key, int value) = 0;
};

}  // namespace Base
