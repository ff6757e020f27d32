#include "platform/environment.h"

namespace platform {

std::string GetEnvOrEmpty(const char* name) {
  std::string value;
  GetEnv(name, &value);
  return value;
}

}  // namespace platform
