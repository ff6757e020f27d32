// The layout of one log-file entry.
#pragma once

#include <ctime>
#include <string>

namespace kuvotrace {

// "INFO ", "ERROR" and so on for the levels 1 to 4; "L<n>" for any other.
std::string LevelName(int level);

// "<yyyy-mm-dd hh:mm:ss.mmm> <level> [<id>] <function>: <message>\n". Line breaks and other
// control characters in the function name and message become spaces; trailing spaces go.
std::string FormatLogLine(const std::tm& local_time, int milliseconds, int level, int id,
                          const std::string& function, const std::string& message);

}  // namespace kuvotrace
