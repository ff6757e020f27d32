// The plain routines KuvoChat registers with the IM SDK, and their callback records.
//
// The SDK keeps the records' addresses for as long as it runs, and a record whose login failed
// stays registered, so the records live for the whole process instead of inside the manager:
// a manager destroyed after a failed TIMInit can then leave no dangling address with the SDK.
// Every context is null; the routines reach the manager through the forwarders.
#pragma once

#include "tim/tim_c.h"

namespace kuvochat {

// Registers the connection, kick-off, signature-expiry, refresh and message records, in this
// order.
void RegisterSdkRoutines();
TIMCommCB* LoginCompletionRecord();
TIMCommCB* LogoutCompletionRecord();

}  // namespace kuvochat
