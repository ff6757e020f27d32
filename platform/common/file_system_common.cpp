#include "platform/file_system.h"

namespace platform {

std::wstring JoinPath(const std::wstring& base, const std::wstring& name) {
  std::wstring path;
  path.reserve(base.size() + 1 + name.size());
  path.append(base);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace platform
