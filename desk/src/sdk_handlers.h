// The four handlers registered with the SDK. Each forwards to the manager given as its last
// argument and does nothing when that is null. They run on the SDK's threads.
#pragma once

#include "sl/slsdk.h"

namespace kuvo_desk {

// SLSetRemoteCallback: (not used, session id, event).
void SLAPI OnRemoteEvent(SLREMOTE remote, SLSESSION session, int event, void* manager);
// SLSetRemoteSessionOpt option 2: (not used, event, not used, not used).
void SLAPI OnRemoteSessionEvent(SLSESSION session, int event, const char* data, unsigned int size,
                                void* manager);
// SLSetClientCallback: (client handle, event).
void SLAPI OnClientEvent(SLCLIENT client, int event, void* manager);
// SLSetClientSessionOpt option 2: (session id, event, not used, not used).
void SLAPI OnClientSessionEvent(SLSESSION session, int event, const char* data, unsigned int size,
                                void* manager);

}  // namespace kuvo_desk
