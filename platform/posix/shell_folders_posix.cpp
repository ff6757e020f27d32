#include "platform/shell_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/code_page.h"
#include "platform/xdg_user_dirs.h"

namespace platform {

namespace {

// A user-dirs.dirs file is a few hundred bytes; anything much larger is not one.
constexpr std::streamsize kMaxUserDirsFileSize = 64 * 1024;

std::wstring ToWide(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT32_MAX)) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWide(kCodePageUtf8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  const int written = MultiByteToWide(kCodePageUtf8, 0, text.data(), length, &wide[0], needed);
  if (written <= 0) return std::wstring();
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0) size = 16384;
  std::vector<char> buffer(static_cast<size_t>(size));
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  return home;
}

std::string ReadSmallFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::string();
  std::string text(static_cast<size_t>(kMaxUserDirsFileSize), '\0');
  file.read(&text[0], kMaxUserDirsFileSize);
  text.resize(static_cast<size_t>(file.gcount()));
  return text;
}

}  // namespace

std::wstring GetShellDocumentsFolder() {
  const std::string from_environment = Environment("XDG_DOCUMENTS_DIR");
  if (!from_environment.empty()) return ToWide(from_environment);

  const std::string home = HomeFolder();
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {  // the XDG rule: relative values are ignored
    config = home.empty() ? std::string() : home + "/.config";
  }
  if (!config.empty()) {
    const std::string configured =
        FindXdgUserDir(ReadSmallFile(config + "/user-dirs.dirs"), "XDG_DOCUMENTS_DIR", home);
    if (!configured.empty()) return ToWide(configured);
  }
  if (home.empty()) return std::wstring();
  return ToWide(home + "/Documents");
}

}  // namespace platform
