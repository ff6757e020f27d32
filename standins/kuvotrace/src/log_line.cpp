#include "log_line.h"

#include <cstdio>

namespace kuvotrace {

namespace {

std::string OneLine(const std::string& text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  const std::string::size_type end = out.find_last_not_of(' ');
  out.erase(end == std::string::npos ? 0 : end + 1);
  return out;
}

}  // namespace

std::string LevelName(int level) {
  switch (level) {
    case 1:
      return "DEBUG";
    case 2:
      return "INFO ";
    case 3:
      return "WARN ";
    case 4:
      return "ERROR";
    default:
      return "L" + std::to_string(level);
  }
}

std::string FormatLogLine(const std::tm& local_time, int milliseconds, int level, int id,
                          const std::string& function, const std::string& message) {
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d",
                local_time.tm_year + 1900, local_time.tm_mon + 1, local_time.tm_mday,
                local_time.tm_hour, local_time.tm_min, local_time.tm_sec, milliseconds % 1000);
  std::string line(stamp);
  line += ' ';
  line += LevelName(level);
  line += " [" + std::to_string(id) + "] ";
  line += OneLine(function);
  line += ": ";
  line += OneLine(message);
  line += '\n';
  return line;
}

}  // namespace kuvotrace
