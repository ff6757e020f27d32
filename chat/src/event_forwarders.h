// Forwarders: each carries one report to the IM manager's handler on the task runner's thread.
//
// Called on any thread. With no manager or no task runner the report is dropped. On the runner's
// own thread the handler runs at once; elsewhere a task holding the forwarder and copies of its
// arguments is posted, and running it enters the forwarder again, now on the runner's thread.
#pragma once

#include <cstdint>

#include "KuvoChat.h"

namespace kuvochat {

void ForwardLogin(uint32_t code);
void ForwardLoginout(uint32_t code);
void ForwardRefresh();
void ForwardSessionChanged(TimChangedPeers changed);
void ForwardConnect(uint32_t code);
void ForwardForceOffline();
void ForwardSigExpired();
void ForwardNewMessages(TimMsgList msgs);
// The disconnect timer's notification, handed over from the timer service's thread.
void ForwardTimerEvent(uint32_t timer_id);

}  // namespace kuvochat
