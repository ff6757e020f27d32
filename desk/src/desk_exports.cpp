// The exports: each forwards to the manager and does nothing when there is none.
#include "KuvoDesk.h"
#include "kuvo_xrk.h"

extern "C" {

KUVODESK_API void KuvoSetRemoteControlCallback(uint32_t user_data, RemoteControlCallback callback) {
  if (CKuvoXrk* manager = KuvoXrkManager()) manager->SetRemoteControlCallback(user_data, callback);
}

KUVODESK_API void KuvoMasterStartSession(const std::string& address,
                                         const std::string& session_name,
                                         const std::string& display_name) {
  if (CKuvoXrk* manager = KuvoXrkManager()) {
    CKuvoXrk::ExportScope scope(*manager);
    manager->MasterStartSession(address, session_name, display_name);
  }
}

KUVODESK_API void KuvoMasterStopSession() {
  if (CKuvoXrk* manager = KuvoXrkManager()) {
    CKuvoXrk::ExportScope scope(*manager);
    manager->MasterStopSession();
  }
}

KUVODESK_API void KuvoSlaveInitSession(const std::string& openid, const std::string& key) {
  if (CKuvoXrk* manager = KuvoXrkManager()) {
    CKuvoXrk::ExportScope scope(*manager);
    manager->SlaveInitSession(openid, key);
  }
}

KUVODESK_API void KuvoSlaveStopSession() {
  if (CKuvoXrk* manager = KuvoXrkManager()) {
    CKuvoXrk::ExportScope scope(*manager);
    manager->SlaveStopSession();
  }
}

}  // extern "C"
