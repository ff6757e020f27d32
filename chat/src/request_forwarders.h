// Forwarders for the outcomes of sends and history requests: each carries the outcome to the
// handler of the manager that issued the request, on its task runner's thread, as the forwarders
// of event_forwarders.h do. When that manager is gone, closed or without a runner, the outcome
// is dropped: a later manager, whose numbers start again at 1, never sees it.
#pragma once

#include <cstdint>
#include <memory>

#include "KuvoChat.h"
#include "event_forwarders.h"

namespace kuvochat {

class CImSendRequest;

// Send completion: code 0 for success, otherwise the SDK's code (never 0). `request` is the
// request that completed: the handler reports only the request that its table still holds under
// `seq`, so of two sends with the same number only the one left in the table is reported.
void ForwardSendResult(uint32_t code, uint64_t seq, std::shared_ptr<CImSendRequest> request);

// History completion: `sdk_count` is the number of messages the SDK reported, not the length of
// the converted list.
void ForwardMsgList(ManagerRef owner, bool ok, uint64_t seq, TimMsgList msgs, uint32_t sdk_count);

}  // namespace kuvochat
