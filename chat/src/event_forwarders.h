// Forwarders: each carries one report to the IM manager's handler on the task runner's thread.
//
// Called on any thread. The report belongs to the manager current at the call; it is dropped
// when there is none, or none with a task runner, or when that manager has been closed or
// replaced by the time the report is handled. On the runner's own thread the handler runs at
// once; elsewhere a task holding the forwarder, the manager reference and copies of the arguments
// is posted, and running it enters the forwarder again, now on the runner's thread.
#pragma once

#include <cstdint>

#include "KuvoChat.h"
#include "handle_here_or_post.h"

namespace kuvochat {

void ForwardLogin(uint32_t code);
void ForwardLoginout(uint32_t code);
void ForwardRefresh();
void ForwardSessionChanged(TimChangedPeers changed);
void ForwardConnect(uint32_t code);
void ForwardForceOffline();
void ForwardSigExpired();
// For the manager that issued a failed history request.
void ForwardSigExpiredTo(ManagerRef target);
void ForwardNewMessages(TimMsgList msgs);
// The disconnect timer's notification: always posted, whatever thread the timer service calls on.
void ForwardTimerEvent(uint32_t timer_id);
// Posts the delivery of the batches that arrived while held records were handed over; true when
// posted.
bool PostDrainReleased(ManagerRef target);

}  // namespace kuvochat
