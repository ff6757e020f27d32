// Load and unload on Windows. DllMain is declared with the plain types behind BOOL, HINSTANCE,
// DWORD and LPVOID, so that this file needs no system header.
#include "kuvo_xrk.h"

namespace {
constexpr unsigned long kProcessDetach = 0;
constexpr unsigned long kProcessAttach = 1;
}  // namespace

// Runs under the loader lock: creates no thread and waits for none to end. `reserved` is not
// null when the process is ending (its other threads are gone already), null for FreeLibrary.
extern "C" int __stdcall DllMain(void*, unsigned long reason, void* reserved) {
  if (reason == kProcessAttach) return KuvoXrkAttach() ? 1 : 0;
  if (reason == kProcessDetach) KuvoXrkDetach(reserved != nullptr);
  return 1;
}
