#include <mutex>

#include "platform/system.h"
#include "platform/testing/system_override.h"

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

template <typename Service>
void PutInPlace(Service* replacement, Service** field) {
  if (replacement != nullptr) *field = replacement;
}

// The non-null services of `replacement` take the place of those of `system`.
void Replace(const System& replacement, System* system) {
  PutInPlace(replacement.windows, &system->windows);
  PutInPlace(replacement.registry, &system->registry);
  PutInPlace(replacement.adapter.devices, &system->adapter.devices);
  PutInPlace(replacement.adapter.ip, &system->adapter.ip);
  PutInPlace(replacement.adapter.registry, &system->adapter.registry);
  PutInPlace(replacement.adapter.wmi, &system->adapter.wmi);
  PutInPlace(replacement.adapter.last_error, &system->adapter.last_error);
  PutInPlace(replacement.adapter.sleeper, &system->adapter.sleeper);
  PutInPlace(replacement.process, &system->process);
  PutInPlace(replacement.com, &system->com);
}

}  // namespace

System CurrentSystem() {
  System system = DefaultSystem();
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Replace(Overrides(), &system);
  return system;
}

ScopedSystemOverride::ScopedSystemOverride(const System& replacement) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  previous_ = Overrides();
  Replace(replacement, &Overrides());
}

ScopedSystemOverride::~ScopedSystemOverride() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Overrides() = previous_;
}

}  // namespace platform
