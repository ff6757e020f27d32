// Critical sections and sleeping.
#pragma once

#include <cstdint>

namespace platform {

// A recursive lock (CRITICAL_SECTION; a recursive pthread mutex elsewhere): the thread that
// holds it may enter again and must leave as often as it entered. Not copyable or movable.
class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter();
  void Leave();

 private:
  // Room for the system's lock object, so this header needs no system header. The
  // implementations check that it fits.
  alignas(8) unsigned char storage_[64];
};

// Enters on construction, leaves on destruction.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~CriticalSectionLock() { section_.Leave(); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CriticalSection& section_;
};

// Sleep: suspends the calling thread for at least `milliseconds`.
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace platform
