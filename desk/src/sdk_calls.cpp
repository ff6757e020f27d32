#include "sdk_calls.h"

namespace kuvo_desk {

bool DestroyRemoteSession(uintptr_t remote, SLSESSION session) {
  return SLDestroyRemoteSession(remote, session);
}

bool DestroyClientSession(uintptr_t client, SLSESSION session) {
  return SLDestroyClientSession(client, session);
}

bool ClientLogout(uintptr_t client, SLSESSION) {
  return SLClientLogout(client);
}

}  // namespace kuvo_desk
