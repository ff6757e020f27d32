// Reading the XDG user-dirs configuration (~/.config/user-dirs.dirs).
//
// Portable parsing only, so that it is tested on every platform; the POSIX documents folder
// uses it.
#pragma once

#include <string>

namespace platform {

// Finds `variable` (for example "XDG_DOCUMENTS_DIR") in the text of a user-dirs.dirs file and
// returns its path: "$HOME/x" and "$HOME" are resolved against `home`, an absolute path is kept,
// anything else (relative paths, a missing closing quote) gives an empty result.
// The file's format is shell assignments, one per line: VAR="value", '#' starts a comment line,
// and a backslash inside the quotes takes the next character literally. The last assignment wins.
std::string FindXdgUserDir(const std::string& file_text, const std::string& variable,
                           const std::string& home);

}  // namespace platform
