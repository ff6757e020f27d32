// CTimeEvent: the disconnect timer's sink with the in-house timer service. Stateless: OnTimer
// hands the timer id to the manager's task runner, so the manager's state is only ever touched
// there and by the exports.
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
