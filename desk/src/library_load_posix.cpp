// Load and unload outside Windows: the library's constructor and destructor. A constructor
// cannot fail the load; without a manager every export does nothing.
#include "kuvo_xrk.h"

namespace {

__attribute__((constructor)) void OnLibraryLoad() {
  KuvoXrkAttach();
}

__attribute__((destructor)) void OnLibraryUnload() {
  KuvoXrkDetach(false);
}

}  // namespace
