// Known folders of the user's shell.
#pragma once

#include <string>

namespace platform {

// The user's documents folder as the shell reports it (SHGetFolderPathW with CSIDL_PERSONAL, no
// window, no token, current path). Empty when the shell has no answer. The folder need not exist.
//
// POSIX: XDG_DOCUMENTS_DIR from the environment when set; else XDG_DOCUMENTS_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (or ~/.config/user-dirs.dirs); else $HOME/Documents.
std::wstring GetShellDocumentsFolder();

}  // namespace platform
