#include "time_event.h"

#include "event_forwarders.h"

namespace kuvochat {

void CTimeEvent::OnTimer(uint32_t timer_id) {
  ForwardTimerEvent(timer_id);
}

}  // namespace kuvochat
