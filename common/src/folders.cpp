#include "common/folders.h"

#include <algorithm>

#include "platform/file_system.h"
#include "platform/registry_data.h"
#include "platform/shell_folders.h"
#include "platform/system.h"

namespace kuvo {

namespace {

constexpr wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kPersonalValue[] = L"Personal";
constexpr wchar_t kSystemProfileMark[] = L"systemprofile";
constexpr wchar_t kDataFolderName[] = L"Kuvo 10.0";
constexpr wchar_t kLogFolderName[] = L"Log";

// The value is read with a limit of 519 bytes of UTF-16 text.
constexpr uint32_t kPersonalDataLimit = platform::WideByteLimit(519);
constexpr size_t kPathBufferUnits = 520;
static_assert(kPersonalDataLimit < kPathBufferUnits * sizeof(wchar_t),
              "the read must leave the buffer's last unit zero");

std::wstring EnsureFolder(const std::wstring& path) {
  if (!platform::PathExists(path.c_str())) platform::CreateFolderTree(path.c_str());
  return path;
}

}  // namespace

std::wstring ResolveDocumentsFolder(const std::wstring& shell_path, platform::RegistryKey root,
                                    const wchar_t* shell_folders_key) {
  if (shell_path.find(kSystemProfileMark) == std::wstring::npos) return shell_path;
  if (root == nullptr) root = platform::RootKey(platform::RegistryRoot::kCurrentUser);
  if (shell_folders_key == nullptr) shell_folders_key = kShellFoldersKey;

  platform::MachineRegistry& registry = *platform::CurrentSystem().registry;
  platform::RegistryKey key = nullptr;
  if (registry.OpenKey(root, shell_folders_key, platform::kKeyRead, &key) !=
      platform::kErrorSuccess) {
    return shell_path;
  }
  wchar_t value[kPathBufferUnits] = {};
  uint32_t type = platform::kRegNone;
  uint32_t size = kPersonalDataLimit;
  const platform::ErrorCode result = registry.QueryValue(key, kPersonalValue, &type, value, &size);
  registry.CloseKey(key);
  // A value of another type, or an empty one, is no folder: keep the shell's answer rather than
  // build paths on garbage or on the drive's root.
  if (result != platform::kErrorSuccess || type != platform::kRegSz) return shell_path;
  const std::wstring personal =
      platform::DecodeRegistryString(value, std::min(size, kPersonalDataLimit));
  return personal.empty() ? shell_path : personal;
}

std::wstring GetDocumentsFolder() {
  return ResolveDocumentsFolder(platform::GetShellDocumentsFolder());
}

std::wstring DataFolderIn(const std::wstring& documents_folder) {
  return EnsureFolder(platform::JoinPath(documents_folder, kDataFolderName));
}

std::wstring LogFolderIn(const std::wstring& documents_folder) {
  return EnsureFolder(platform::JoinPath(DataFolderIn(documents_folder), kLogFolderName));
}

std::wstring GetDataFolder() {
  return DataFolderIn(GetDocumentsFolder());
}

std::wstring GetLogFolder() {
  return LogFolderIn(GetDocumentsFolder());
}

}  // namespace kuvo
