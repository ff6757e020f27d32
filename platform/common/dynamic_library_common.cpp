#include <atomic>

#include "dynamic_library_internal.h"
#include "platform/dynamic_library.h"

namespace platform {

namespace {
std::atomic<long> g_load_calls{0};
}  // namespace

namespace internal {
void CountLibraryLoad() {
  g_load_calls.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace internal

long LibraryLoadCallsForTesting() {
  return g_load_calls.load(std::memory_order_relaxed);
}

}  // namespace platform
