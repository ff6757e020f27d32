#include "header_lines.h"

namespace Http {

namespace {
bool IsSafe(const std::string& text) {
  static const char kBreaks[] = {'\r', '\n', '\0'};
  return text.find_first_of(kBreaks, 0, sizeof(kBreaks)) == std::string::npos;
}
}  // namespace

bool HeaderFieldsAreSafe(const std::map<std::string, std::string>& headers) {
  for (const auto& [name, value] : headers) {
    if (!IsSafe(name) || !IsSafe(value)) return false;
  }
  return true;
}

}  // namespace Http
