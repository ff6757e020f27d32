#include <cstring>

#include "platform/device_installer.h"

namespace platform {

bool Guid::operator==(const Guid& other) const {
  return data1 == other.data1 && data2 == other.data2 && data3 == other.data3 &&
         std::memcmp(data4, other.data4, sizeof(data4)) == 0;
}

}  // namespace platform
