#include "registry_script.h"

#include <cwctype>
#include <memory>

#include "platform/com_module_services.h"
#include "platform/system.h"

namespace assist {

namespace {

using platform::HResult;

enum class KeyFlag { kNone, kNoRemove, kForceRemove, kDelete };

struct ScriptValue {
  std::wstring name;  // empty: the key's default value
  bool is_dword = false;
  std::wstring text;
  uint32_t number = 0;
};

struct ScriptKey {
  std::wstring name;
  KeyFlag flag = KeyFlag::kNone;
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> keys;
};

struct ScriptRoot {
  platform::RegistryRoot root;
  std::vector<ScriptKey> keys;
};

bool Replace(const std::wstring& script, const ScriptReplacements& replacements,
             std::wstring* out) {
  out->clear();
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] != L'%') {
      *out += script[i];
      continue;
    }
    const size_t end = script.find(L'%', i + 1);
    if (end == std::wstring::npos) return false;
    const std::wstring name = script.substr(i + 1, end - i - 1);
    if (name.empty()) {
      *out += L'%';
    } else {
      bool found = false;
      for (const auto& [key, value] : replacements) {
        if (key == name) {
          *out += value;
          found = true;
          break;
        }
      }
      if (!found) return false;
    }
    i = end;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(const std::wstring& text) : text_(text) {}

  bool ParseScript(std::vector<ScriptRoot>* roots) {
    for (std::wstring token; Next(&token);) {
      ScriptRoot root{};
      if (!RootOf(token, &root.root) || !Expect(L"{") || !ParseKeys(&root.keys, 0)) return false;
      roots->push_back(std::move(root));
    }
    return ok_;
  }

 private:
  static constexpr int kMaxDepth = 64;

  static bool Equal(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
      if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) {
        return false;
      }
    }
    return i == a.size() && b[i] == L'\0';
  }

  static bool RootOf(const std::wstring& token, platform::RegistryRoot* root) {
    if (Equal(token, L"HKCR") || Equal(token, L"HKEY_CLASSES_ROOT")) {
      *root = platform::RegistryRoot::kClassesRoot;
    } else if (Equal(token, L"HKCU") || Equal(token, L"HKEY_CURRENT_USER")) {
      *root = platform::RegistryRoot::kCurrentUser;
    } else if (Equal(token, L"HKLM") || Equal(token, L"HKEY_LOCAL_MACHINE")) {
      *root = platform::RegistryRoot::kLocalMachine;
    } else if (Equal(token, L"HKU") || Equal(token, L"HKEY_USERS")) {
      *root = platform::RegistryRoot::kUsers;
    } else {
      return false;
    }
    return true;
  }

  // One token: a quoted text, a brace, '=', or a run of other non-blank characters.
  bool Next(std::wstring* token) {
    token->clear();
    quoted_ = false;
    while (at_ < text_.size() && std::iswspace(static_cast<wint_t>(text_[at_]))) ++at_;
    if (at_ >= text_.size()) return false;
    const wchar_t c = text_[at_];
    if (c == L'{' || c == L'}' || c == L'=') {
      *token = c;
      ++at_;
      return true;
    }
    if (c == L'\'') {
      quoted_ = true;
      for (++at_; at_ < text_.size(); ++at_) {
        if (text_[at_] == L'\'') {
          if (at_ + 1 < text_.size() && text_[at_ + 1] == L'\'') {
            *token += L'\'';
            ++at_;
            continue;
          }
          ++at_;
          return true;
        }
        *token += text_[at_];
      }
      ok_ = false;  // unterminated text
      return false;
    }
    while (at_ < text_.size() && !std::iswspace(static_cast<wint_t>(text_[at_])) &&
           text_[at_] != L'{' && text_[at_] != L'}' && text_[at_] != L'=' && text_[at_] != L'\'') {
      *token += text_[at_++];
    }
    return true;
  }

  bool Peek(const wchar_t* what) {
    const size_t saved = at_;
    std::wstring token;
    const bool found = Next(&token) && !quoted_ && token == what;
    at_ = saved;
    return found;
  }

  bool Expect(const wchar_t* what) {
    std::wstring token;
    return Next(&token) && !quoted_ && token == what;
  }

  bool ParseValue(ScriptValue* value) {
    std::wstring type, data;
    if (!Expect(L"=") || !Next(&type) || !Next(&data)) return false;
    if (Equal(type, L"s")) {
      value->text = data;
    } else if (Equal(type, L"d")) {
      if (data.empty() || data.size() > 10) return false;
      uint64_t number = 0;
      for (wchar_t c : data) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + static_cast<uint64_t>(c - L'0');
      }
      if (number > 0xFFFFFFFFu) return false;
      value->is_dword = true;
      value->number = static_cast<uint32_t>(number);
    } else {
      return false;
    }
    return true;
  }

  // Keys up to the closing brace of the block.
  bool ParseKeys(std::vector<ScriptKey>* keys, int depth) {
    if (depth > kMaxDepth) return false;
    std::wstring token;
    while (Next(&token)) {
      if (!quoted_ && token == L"}") return true;
      if (!quoted_ && (token == L"{" || token == L"=")) return false;
      ScriptKey key;
      if (!quoted_ && Equal(token, L"val")) {
        ScriptValue value;
        if (!Next(&value.name) || !ParseValue(&value)) return false;
        if (depth == 0) return false;  // values belong to keys
        pending_values_->push_back(std::move(value));
        continue;
      }
      if (!quoted_ && Equal(token, L"NoRemove")) key.flag = KeyFlag::kNoRemove;
      if (!quoted_ && Equal(token, L"ForceRemove")) key.flag = KeyFlag::kForceRemove;
      if (!quoted_ && Equal(token, L"Delete")) key.flag = KeyFlag::kDelete;
      if (key.flag != KeyFlag::kNone && !Next(&token)) return false;
      if (!quoted_ && (token == L"{" || token == L"}" || token == L"=")) return false;
      if (token.empty() || token.size() > platform::kMaxKeyNameLength) return false;
      key.name = token;
      if (Peek(L"=")) {
        ScriptValue value;
        if (!ParseValue(&value)) return false;
        key.values.push_back(std::move(value));
      }
      if (Peek(L"{")) {
        Expect(L"{");
        std::vector<ScriptValue>* outer = pending_values_;
        pending_values_ = &key.values;
        const bool parsed = ParseKeys(&key.keys, depth + 1);
        pending_values_ = outer;
        if (!parsed) return false;
      }
      keys->push_back(std::move(key));
    }
    return false;  // the block was not closed
  }

  const std::wstring& text_;
  size_t at_ = 0;
  bool quoted_ = false;
  bool ok_ = true;
  std::vector<ScriptValue>* pending_values_ = nullptr;
};

HResult FromError(platform::ErrorCode error) {
  return platform::HResultFromWin32(error);
}

platform::ErrorCode SetValue(platform::MachineRegistry& registry, platform::RegistryKey key,
                             const ScriptValue& value) {
  const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
  if (value.is_dword) {
    return registry.SetValue(key, name, platform::kRegDword, &value.number, sizeof(value.number));
  }
  return registry.SetValue(key, name, platform::kRegSz, value.text.c_str(),
                           static_cast<uint32_t>((value.text.size() + 1) * sizeof(wchar_t)));
}

HResult RegisterKeys(platform::MachineRegistry& registry, platform::RegistryKey parent,
                     const std::vector<ScriptKey>& keys) {
  for (const ScriptKey& entry : keys) {
    if (entry.flag == KeyFlag::kDelete || entry.flag == KeyFlag::kForceRemove) {
      const platform::ErrorCode error = registry.DeleteTree(parent, entry.name.c_str());
      if (error != platform::kErrorSuccess && error != platform::kErrorFileNotFound) {
        return FromError(error);
      }
      if (entry.flag == KeyFlag::kDelete) continue;
    }
    platform::RegistryKey key = nullptr;
    platform::ErrorCode error =
        registry.CreateKey(parent, entry.name.c_str(), platform::kKeyAllAccess, &key, nullptr);
    if (error != platform::kErrorSuccess) return FromError(error);
    for (const ScriptValue& value : entry.values) {
      error = SetValue(registry, key, value);
      if (error != platform::kErrorSuccess) break;
    }
    HResult hr = error == platform::kErrorSuccess ? RegisterKeys(registry, key, entry.keys)
                                                  : FromError(error);
    registry.CloseKey(key);
    if (!platform::Succeeded(hr)) return hr;
  }
  return platform::kSOk;
}

HResult UnregisterKeys(platform::MachineRegistry& registry, platform::RegistryKey parent,
                       const std::vector<ScriptKey>& keys) {
  for (const ScriptKey& entry : keys) {
    if (entry.flag != KeyFlag::kNoRemove) {
      const platform::ErrorCode error = registry.DeleteTree(parent, entry.name.c_str());
      if (error != platform::kErrorSuccess && error != platform::kErrorFileNotFound) {
        return FromError(error);
      }
      continue;
    }
    platform::RegistryKey key = nullptr;
    const platform::ErrorCode error =
        registry.OpenKey(parent, entry.name.c_str(), platform::kKeyAllAccess, &key);
    if (error == platform::kErrorFileNotFound) continue;
    if (error != platform::kErrorSuccess) return FromError(error);
    for (const ScriptValue& value : entry.values) {
      if (!value.name.empty()) registry.DeleteValue(key, value.name.c_str());
    }
    const HResult hr = UnregisterKeys(registry, key, entry.keys);
    registry.CloseKey(key);
    if (!platform::Succeeded(hr)) return hr;
  }
  return platform::kSOk;
}

}  // namespace

HResult RunRegistryScript(const std::wstring& script, const ScriptReplacements& replacements,
                          bool do_register, bool per_user) {
  std::wstring text;
  std::vector<ScriptRoot> roots;
  if (!Replace(script, replacements, &text)) return platform::kDispEException;
  Parser parser(text);
  if (!parser.ParseScript(&roots)) return platform::kDispEException;

  platform::MachineRegistry& registry = *platform::CurrentSystem().registry;
  for (const ScriptRoot& root : roots) {
    platform::RegistryKey key = platform::RootKey(root.root);
    bool opened = false;
    if (per_user && root.root == platform::RegistryRoot::kClassesRoot) {
      const platform::ErrorCode error =
          registry.CreateKey(platform::RootKey(platform::RegistryRoot::kCurrentUser),
                             L"Software\\Classes", platform::kKeyAllAccess, &key, nullptr);
      if (error != platform::kErrorSuccess) return FromError(error);
      opened = true;
    }
    const HResult hr = do_register ? RegisterKeys(registry, key, root.keys)
                                   : UnregisterKeys(registry, key, root.keys);
    if (opened) registry.CloseKey(key);
    if (!platform::Succeeded(hr)) return hr;
  }
  return platform::kSOk;
}

}  // namespace assist
