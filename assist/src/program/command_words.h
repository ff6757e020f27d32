// The registration words of the module's command line.
#pragma once

#include <string>

namespace assist {

enum class CommandWord {
  kNone,
  kUnregServer,
  kRegServer,
  kUnregServerPerUser,
  kRegServerPerUser,
};

// Scans the whole command line (program path included) for tokens that follow a '-' or '/'. A
// token is compared without regard to letter case, as a whole word ending at a blank, a tab or
// the end, with "UnregServer", "RegServer", "UnregServerPerUser" and "RegServerPerUser" in that
// order; the first token that matches decides. Tokens that match nothing are skipped.
CommandWord FindCommandWord(const std::wstring& command_line);

}  // namespace assist
