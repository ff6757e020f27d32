// Building the host's message records from SDK message handles. Runs on whatever thread holds
// the handles (an SDK callback thread for new messages); touches no shared state.
#pragma once

#include <cstdint>

#include "KuvoChat.h"
#include "tim/tim_c.h"

namespace kuvochat {

// Fills peerKind, peerId, msgId and locator of `record` (which should be blank). True when the
// message is to be reported: not a system conversation, status 2 (or 3 when `is_received` is
// false, for send outcomes), a peer the host may hear of, and a readable sender.
bool ConvertMessage(TIMMessageHandle msg, tagTimMsgInfo* record, bool is_received);

// Fills content (base64-decoded data), desc and ext. True when the message is exactly one custom
// element whose three texts could be read.
bool ReadCustomElement(TIMMessageHandle msg, tagTimMsgInfo* record);

// Converts an array of handles (null entries skipped) with both routines, keeping what passes.
TimMsgList ConvertMessages(const TIMMessageHandle* handles, uint64_t count);

}  // namespace kuvochat
