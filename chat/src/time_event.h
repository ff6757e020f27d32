// CTimeEvent: the disconnect timer's sink with the in-house timer service. Stateless: OnTimer
// posts the timer id to the manager's task runner (also when called on the runner's thread), so
// it takes no lock of the manager's and never calls the host: a timer service that waits for a
// running OnTimer never waits for either.
#pragma once

#include <cstdint>

#include "base/timer_event.h"

namespace kuvochat {

class CTimeEvent final : public Timer::ITimerEvent {
 public:
  CTimeEvent() = default;
  ~CTimeEvent() = default;
  bool IsAlive() override { return true; }
  // On the timer service's thread.
  void OnTimer(uint32_t timer_id) override;
};

}  // namespace kuvochat
