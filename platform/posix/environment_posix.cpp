#include <cstdlib>

#include "platform/environment.h"

namespace platform {

bool GetEnv(const char* name, std::string* value) {
  const char* found = std::getenv(name);
  if (found == nullptr) {
    value->clear();
    return false;
  }
  value->assign(found);
  return true;
}

bool SetEnv(const char* name, const std::string& value) {
  return ::setenv(name, value.c_str(), 1) == 0;
}

bool UnsetEnv(const char* name) {
  return ::unsetenv(name) == 0;
}

}  // namespace platform
