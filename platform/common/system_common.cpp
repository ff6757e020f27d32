#include <mutex>

#include "platform/system.h"
#include "platform/testing/system_override.h"
#include "system_internal.h"

namespace platform {

namespace {

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}

// Null fields: the default service.
System& Overrides() {
  static System overrides;
  return overrides;
}

}  // namespace

System DefaultSystem() {
  System system;
  system.windows = internal::SystemWindows();
  return system;
}

System CurrentSystem() {
  System system = DefaultSystem();
  std::lock_guard<std::mutex> lock(OverrideMutex());
  if (Overrides().windows != nullptr) system.windows = Overrides().windows;
  return system;
}

ScopedSystemOverride::ScopedSystemOverride(const System& replacement) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  previous_ = Overrides();
  if (replacement.windows != nullptr) Overrides().windows = replacement.windows;
}

ScopedSystemOverride::~ScopedSystemOverride() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Overrides() = previous_;
}

}  // namespace platform
