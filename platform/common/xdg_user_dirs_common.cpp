#include "platform/xdg_user_dirs.h"

#include <cstddef>

namespace platform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The quoted value starting at `text[pos]` == '"'; false when the closing quote is missing.
bool ReadQuoted(const std::string& text, size_t pos, std::string* value) {
  value->clear();
  for (size_t i = pos + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return true;
    if (c == '\\') {
      if (++i == text.size()) return false;
      value->push_back(text[i]);
    } else {
      value->push_back(c);
    }
  }
  return false;
}

std::string Resolve(const std::string& value, const std::string& home) {
  static const std::string kHome = "$HOME";
  if (value.compare(0, kHome.size(), kHome) == 0) {
    const std::string rest = value.substr(kHome.size());
    if (home.empty() || (!rest.empty() && rest[0] != '/')) return std::string();
    return home + rest;
  }
  if (!value.empty() && value[0] == '/') return value;
  return std::string();
}

}  // namespace

std::string FindXdgUserDir(const std::string& file_text, const std::string& variable,
                           const std::string& home) {
  std::string result;
  size_t line_start = 0;
  while (line_start < file_text.size()) {
    size_t line_end = file_text.find('\n', line_start);
    if (line_end == std::string::npos) line_end = file_text.size();
    const std::string line = file_text.substr(line_start, line_end - line_start);
    line_start = line_end + 1;

    size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size() || line[pos] == '#') continue;
    if (line.compare(pos, variable.size(), variable) != 0) continue;
    pos += variable.size();
    if (pos >= line.size() || line[pos] != '=') continue;  // a longer name with this prefix
    ++pos;
    std::string value;
    if (pos >= line.size() || line[pos] != '"' || !ReadQuoted(line, pos, &value)) {
      result.clear();
      continue;
    }
    result = Resolve(value, home);
  }
  return result;
}

}  // namespace platform
