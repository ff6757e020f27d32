// ITimerEvent: the sink that the in-house timer service calls when a timer fires.
//
// Slot order: IsAlive (the service may ask whether the sink still wants calls), OnTimer. The sink
// is owned by whoever registered it; the service never deletes it.
#pragma once

#include <cstdint>

namespace Timer {

class ITimerEvent {
 public:
  virtual bool IsAlive() = 0;
  // Called on the timer service's thread with the id given to StartTimerEx.
  virtual void OnTimer(uint32_t timer_id) = 0;

 protected:
  ~ITimerEvent() = default;
};

}  // namespace Timer
