// A fresh key under HKEY_CURRENT_USER\Software\KuvoTests for one test, deleted with its
// contents afterwards. On Windows (and wine) this is the real registry, so tests never touch
// keys of their own outside it.
#pragma once

#include <random>
#include <string>

#include "platform/registry.h"

namespace kuvo_test {

class TestRegistryKey {
 public:
  TestRegistryKey() {
    std::random_device random;
    path_ = L"Software\\KuvoTests\\" + std::to_wstring(random()) + std::to_wstring(random());
    platform::CreateRegistryKey(Root(), path_.c_str(), platform::kKeyAllAccess, &key_, nullptr);
  }
  ~TestRegistryKey() {
    if (key_ != nullptr) platform::CloseRegistryKey(key_);
    platform::DeleteRegistryTree(Root(), path_.c_str());
  }
  TestRegistryKey(const TestRegistryKey&) = delete;
  TestRegistryKey& operator=(const TestRegistryKey&) = delete;

  static platform::RegistryKey Root() {
    return platform::RootKey(platform::RegistryRoot::kCurrentUser);
  }
  // Relative to Root().
  const std::wstring& path() const { return path_; }
  std::wstring path(const std::wstring& below) const { return path_ + L"\\" + below; }
  // An open handle with every right; null when the key could not be made.
  platform::RegistryKey key() const { return key_; }

 private:
  std::wstring path_;
  platform::RegistryKey key_ = nullptr;
};

}  // namespace kuvo_test
