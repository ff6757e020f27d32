#include "scoped_environment.h"

#include "platform/environment.h"

namespace kuvo_test {

ScopedEnvironment::~ScopedEnvironment() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      platform::SetEnv(name.c_str(), *value);
    } else {
      platform::UnsetEnv(name.c_str());
    }
  }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  Save(name);
  platform::SetEnv(name.c_str(), value);
}

void ScopedEnvironment::Unset(const std::string& name) {
  Save(name);
  platform::UnsetEnv(name.c_str());
}

void ScopedEnvironment::Save(const std::string& name) {
  if (saved_.count(name) != 0) return;
  std::string value;
  saved_[name] =
      platform::GetEnv(name.c_str(), &value) ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace kuvo_test
