// Test access to KuvoDesk: exported by KuvoDeskForTesting, the test build of KuvoDesk (the
// shipped library exports the five functions of KuvoDesk.h only). Not for hosts.
#pragma once

#include "KuvoDesk.h"

extern "C" {

// Runs what unloading the library runs (the tear-down, then the manager goes) and what loading
// it runs (a fresh manager), so that each test starts from a just-loaded library. Call it while
// no SDK event is running and from the session window's thread when a window is open.
KUVODESK_API void KuvoDeskReloadForTesting();
// The session window (null when there is none).
KUVODESK_API void* KuvoDeskSessionWindowForTesting();

}  // extern "C"
