// Shapes of the SDK calls that may wait for a running handler, for CallMayWaitForHandler.
#pragma once

#include <cstdint>

#include "sl/slsdk.h"

namespace kuvo_desk {

bool DestroyRemoteSession(uintptr_t remote, SLSESSION session);
bool DestroyClientSession(uintptr_t client, SLSESSION session);
bool ClientLogout(uintptr_t client, SLSESSION unused);

}  // namespace kuvo_desk
