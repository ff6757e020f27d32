// COM module services on systems other than Windows.
#include "platform/testing/emulated_com_module.h"

#include <string>

#include "platform/fault_hook.h"
#include "platform/registry.h"

namespace platform {

namespace {

constexpr wchar_t kClassesUnderUser[] = L"Software\\Classes";

// The root that HKCR stands for; a key to close when it is not a predefined one.
ErrorCode OpenClassesRoot(bool per_user, RegistryKey* key) {
  if (!per_user) {
    *key = RootKey(RegistryRoot::kClassesRoot);
    return kErrorSuccess;
  }
  return CreateRegistryKey(RootKey(RegistryRoot::kCurrentUser), kClassesUnderUser, kKeyAllAccess,
                           key, nullptr);
}

void CloseClassesRoot(bool per_user, RegistryKey key) {
  if (per_user) CloseRegistryKey(key);
}

ErrorCode SetDefaultText(RegistryKey parent, const std::wstring& path, const wchar_t* name,
                         const std::wstring& text) {
  RegistryKey key = nullptr;
  ErrorCode error = CreateRegistryKey(parent, path.c_str(), kKeyAllAccess, &key, nullptr);
  if (error != kErrorSuccess) return error;
  error = SetRegistryValue(key, name, kRegSz, text.c_str(),
                           static_cast<uint32_t>((text.size() + 1) * sizeof(wchar_t)));
  CloseRegistryKey(key);
  return error;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::wstring::size_type slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace

EmulatedComModule::EmulatedComModule(Wmi* wmi, ModuleResources resources)
    : wmi_(wmi), resources_(std::move(resources)) {}

bool EmulatedComModule::InitializeModuleLock() {
  return !FallibleCallFails("InitializeCriticalSectionAndSpinCount");
}

HResult EmulatedComModule::CoInitializeEx(uint32_t model) {
  return wmi_->CoInitializeEx(model);
}

void EmulatedComModule::CoUninitialize() {
  wmi_->CoUninitialize();
}

bool EmulatedComModule::LoadResource(const wchar_t* type, uint16_t id, std::string* bytes) {
  const auto found = resources_.data.find({type, id});
  if (found == resources_.data.end()) return false;
  *bytes = found->second;
  return true;
}

std::wstring EmulatedComModule::LoadString(uint16_t id) {
  const auto found = resources_.strings.find(id);
  return found == resources_.strings.end() ? std::wstring() : found->second;
}

HResult EmulatedComModule::RegisterTypeLibrary(const std::wstring& module_path, bool per_user) {
  const TypeLibraryDescription& library = resources_.type_library;
  if (library.libid.empty()) return kTypeERegistryAccess;
  RegistryKey root = nullptr;
  ErrorCode error = OpenClassesRoot(per_user, &root);
  if (error != kErrorSuccess) return kTypeERegistryAccess;
  const std::wstring version = L"TypeLib\\" + library.libid + L"\\" +
                               std::to_wstring(library.major) + L"." +
                               std::to_wstring(library.minor);
  error = SetDefaultText(root, version, nullptr, library.name);
  if (error == kErrorSuccess) error = SetDefaultText(root, version + L"\\FLAGS", nullptr, L"0");
  if (error == kErrorSuccess) {
    error = SetDefaultText(root, version + L"\\HELPDIR", nullptr, FolderOf(module_path));
  }
  if (error == kErrorSuccess) {
    error = SetDefaultText(root, version + L"\\0\\win32", nullptr, module_path);
  }
  CloseClassesRoot(per_user, root);
  return error == kErrorSuccess ? kSOk : kTypeERegistryAccess;
}

HResult EmulatedComModule::UnregisterTypeLibrary(const std::wstring&, bool per_user) {
  const TypeLibraryDescription& library = resources_.type_library;
  if (library.libid.empty()) return kTypeERegistryAccess;
  RegistryKey root = nullptr;
  if (OpenClassesRoot(per_user, &root) != kErrorSuccess) return kTypeERegistryAccess;
  const std::wstring library_key = L"TypeLib\\" + library.libid;
  const std::wstring version =
      std::to_wstring(library.major) + L"." + std::to_wstring(library.minor);
  HResult result = kSOk;
  RegistryKey key = nullptr;
  if (OpenRegistryKey(root, library_key.c_str(), kKeyAllAccess, &key) != kErrorSuccess) {
    result = kTypeERegistryAccess;  // not registered, as oleaut32 answers
  } else {
    if (DeleteRegistryTree(key, version.c_str()) != kErrorSuccess) result = kTypeERegistryAccess;
    wchar_t name[kMaxKeyNameLength + 1];
    uint32_t length = kMaxKeyNameLength + 1;
    const bool empty = EnumRegistryKey(key, 0, name, &length) == kErrorNoMoreItems;
    CloseRegistryKey(key);
    if (empty) DeleteRegistryTree(root, library_key.c_str());
  }
  CloseClassesRoot(per_user, root);
  return result;
}

}  // namespace platform
