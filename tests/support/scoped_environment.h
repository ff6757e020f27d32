// Sets or removes environment variables for one test and puts the old values back afterwards.
// Tests that use it change the environment while no other thread runs.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace kuvo_test {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value);
  void Unset(const std::string& name);

 private:
  void Save(const std::string& name);

  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace kuvo_test
