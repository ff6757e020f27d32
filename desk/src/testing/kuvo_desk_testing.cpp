// The test-only exports of KuvoDeskForTesting (the shipped library has the five exports alone).
#include "testing/kuvo_desk_testing.h"

#include "kuvo_xrk.h"

extern "C" {

KUVODESK_API void KuvoDeskReloadForTesting() {
  KuvoXrkDetach(false);
  KuvoXrkAttach();
}

KUVODESK_API void* KuvoDeskSessionWindowForTesting() {
  CKuvoXrk* manager = KuvoXrkManager();
  return manager != nullptr ? manager->session_window() : nullptr;
}

}  // extern "C"
