// The in-memory registry of non-Windows builds: one tree per root, handles numbered like
// pointers, every call under one lock.
#include "platform/registry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fault_hook.h"
#include "platform/registry_data.h"
#include "platform/registry_scenario.h"
#include "platform/testing/registry_emulation.h"

namespace platform {

namespace {

// The exit status of a process whose registry scenario cannot be loaded.
constexpr int kScenarioFailureExitCode = 3;

constexpr RegistryRoot kRoots[] = {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser,
                                   RegistryRoot::kLocalMachine, RegistryRoot::kUsers};

// Rights that change a key: set value, create sub-key, create link, DELETE, WRITE_DAC,
// WRITE_OWNER.
constexpr uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

// The registry compares names by their upper-case form, and lists sub-keys in that order.
std::wstring Fold(const std::wstring& name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return folded;
}

struct Value {
  std::wstring name;
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
};

struct Node {
  struct Child {
    std::wstring name;  // as first created
    std::shared_ptr<Node> node;
  };
  std::map<std::wstring, Child> children;  // by folded name
  std::vector<Value> values;               // in creation order
  bool deny_write = false;
  bool deleted = false;

  Value* FindValue(const wchar_t* name) {
    const std::wstring folded = Fold(name != nullptr ? name : L"");
    for (Value& value : values) {
      if (Fold(value.name) == folded) return &value;
    }
    return nullptr;
  }
};

struct Handle {
  std::shared_ptr<Node> node;
  uint32_t access = 0;
};

bool SplitPath(const wchar_t* sub_key, std::vector<std::wstring>* names) {
  names->clear();
  if (sub_key == nullptr) return true;
  if (sub_key[0] == L'\\') return false;
  std::wstring name;
  for (const wchar_t* c = sub_key;; ++c) {
    if (*c == L'\\' || *c == L'\0') {
      if (!name.empty()) names->push_back(name);
      name.clear();
      if (*c == L'\0') break;
    } else {
      name.push_back(*c);
    }
  }
  return true;
}

class Registry {
 public:
  // A scenario that was asked for and cannot be loaded stops the process: going on with an
  // empty registry would run the program against a machine nobody described.
  Registry() {
    std::string error;
    if (ResetFromEnvironment(&error)) return;
    std::fprintf(stderr, "%s; stopping\n", error.c_str());
    std::fflush(stderr);
    std::_Exit(kScenarioFailureExitCode);
  }

  // Empties the registry and loads the scenario file named by the environment, if any.
  bool ResetFromEnvironment(std::string* error) {
    Clear();
    const char* scenario = std::getenv("KUVO_REGISTRY_SCENARIO");
    if (scenario == nullptr || scenario[0] == '\0') return true;
    std::string reason;
    if (LoadFile(scenario, &reason)) return true;
    if (error != nullptr) *error = std::string("registry scenario ") + scenario + ": " + reason;
    return false;
  }

  std::mutex& lock() { return lock_; }

  void Clear() {
    roots_.clear();
    for (RegistryRoot root : kRoots) roots_[root] = std::make_shared<Node>();
    handles_.clear();
    flushes_ = 0;
  }

  // Resolves a handle; roots carry every right. kErrorAccessDenied when the handle lacks
  // `right`, or when `right` is kKeySetValue and the key is read-only.
  ErrorCode Resolve(RegistryKey key, Handle* handle, uint32_t right = 0) {
    const auto value = reinterpret_cast<uintptr_t>(key);
    const auto found = handles_.find(value);
    *handle = found != handles_.end() ? found->second : Handle();
    for (RegistryRoot root : kRoots) {
      if (value == reinterpret_cast<uintptr_t>(RootKey(root))) {
        *handle = {roots_[root], kKeyAllAccess};
      }
    }
    if (handle->node == nullptr) return kErrorInvalidHandle;
    if (handle->node->deleted) return kErrorKeyDeleted;
    const bool read_only = right == kKeySetValue && handle->node->deny_write;
    return (handle->access & right) != right || read_only ? kErrorAccessDenied : kErrorSuccess;
  }

  std::shared_ptr<Node> Walk(const std::shared_ptr<Node>& from,
                             const std::vector<std::wstring>& names) {
    std::shared_ptr<Node> node = from;
    for (const std::wstring& name : names) {
      const auto found = node->children.find(Fold(name));
      if (found == node->children.end()) return nullptr;
      node = found->second.node;
    }
    return node;
  }

  // Creates what is missing; `created` tells whether the last name was new.
  std::shared_ptr<Node> Make(const std::shared_ptr<Node>& from,
                             const std::vector<std::wstring>& names, bool* created) {
    std::shared_ptr<Node> node = from;
    *created = false;
    for (const std::wstring& name : names) {
      Node::Child& child = node->children[Fold(name)];
      *created = child.node == nullptr;
      if (*created) child = Node::Child{name, std::make_shared<Node>()};
      node = child.node;
    }
    return node;
  }

  RegistryKey AddHandle(const std::shared_ptr<Node>& node, uint32_t access) {
    next_handle_ += 4;
    handles_[next_handle_] = Handle{node, access};
    return reinterpret_cast<RegistryKey>(next_handle_);
  }

  ErrorCode Close(RegistryKey key) {
    const auto value = reinterpret_cast<uintptr_t>(key);
    for (RegistryRoot root : kRoots) {
      if (value == reinterpret_cast<uintptr_t>(RootKey(root))) return kErrorSuccess;
    }
    return handles_.erase(value) == 1 ? kErrorSuccess : kErrorInvalidHandle;
  }

  ErrorCode DeleteTree(const std::shared_ptr<Node>& parent,
                       const std::vector<std::wstring>& names) {
    if (names.empty()) return kErrorInvalidParameter;
    std::vector<std::wstring> above(names.begin(), names.end() - 1);
    const std::shared_ptr<Node> holder = Walk(parent, above);
    if (holder == nullptr) return kErrorFileNotFound;
    const auto found = holder->children.find(Fold(names.back()));
    if (found == holder->children.end()) return kErrorFileNotFound;
    // RegDeleteTreeW's order: depth first, always the first remaining sub-key, each key removed
    // once it is empty. A key that refuses deletion (its write protection includes DELETE) stops
    // the walk there with kErrorAccessDenied: what came before it in that order is gone, it and
    // the keys above it stay. A stack instead of recursion, since nothing bounds the depth here.
    std::vector<Node*> chain{found->second.node.get()};
    while (!chain.empty()) {
      Node* node = chain.back();
      if (!node->children.empty()) {
        chain.push_back(node->children.begin()->second.node.get());
        continue;
      }
      if (node->deny_write) return kErrorAccessDenied;
      node->deleted = true;
      chain.pop_back();
      if (chain.empty()) {
        holder->children.erase(found);
      } else {
        chain.back()->children.erase(chain.back()->children.begin());
      }
    }
    return kErrorSuccess;
  }

  void Apply(const std::vector<RegistryScenarioKey>& keys) {
    for (const RegistryScenarioKey& key : keys) {
      std::vector<std::wstring> names;
      SplitPath(key.path.c_str(), &names);
      bool created = false;
      const std::shared_ptr<Node> node = Make(roots_[key.root], names, &created);
      if (key.deny_write) node->deny_write = true;
      for (const RegistryScenarioValue& value : key.values) {
        SetValue(node.get(), value.name, value.type, value.data);
      }
    }
  }

  bool LoadText(const std::string& text, std::string* error) {
    std::vector<RegistryScenarioKey> keys;
    if (!ParseRegistryScenario(text, &keys, error)) return false;
    Apply(keys);
    return true;
  }

  bool LoadFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      if (error != nullptr) *error = "cannot read the file";
      return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return LoadText(text.str(), error);
  }

  static void SetValue(Node* node, const std::wstring& name, uint32_t type,
                       const std::vector<uint8_t>& data) {
    Value* value = node->FindValue(name.c_str());
    if (value == nullptr) {
      node->values.push_back(Value{name, type, data});
    } else {
      value->type = type;
      value->data = data;
    }
  }

  std::shared_ptr<Node> Root(RegistryRoot root) { return roots_[root]; }

  void Dump(const std::shared_ptr<Node>& node, RegistryRoot root, const std::wstring& path,
            std::vector<RegistryScenarioKey>* keys) {
    if (!path.empty()) {
      RegistryScenarioKey key;
      key.root = root;
      key.path = path;
      key.deny_write = node->deny_write;
      for (const Value& value : node->values) {
        key.values.push_back(RegistryScenarioValue{value.name, value.type, value.data});
      }
      keys->push_back(std::move(key));
    }
    for (const auto& entry : node->children) {
      Dump(entry.second.node, root,
           path.empty() ? entry.second.name : path + L"\\" + entry.second.name, keys);
    }
  }

  size_t handle_count() const { return handles_.size(); }
  size_t flushes() const { return flushes_; }
  void CountFlush() { ++flushes_; }

 private:
  std::mutex lock_;
  std::map<RegistryRoot, std::shared_ptr<Node>> roots_;
  std::map<uintptr_t, Handle> handles_;
  uintptr_t next_handle_ = 0x1000;
  size_t flushes_ = 0;
};

// A call the fault plan fails answers the planned code, else "access denied", and does nothing.
ErrorCode Planned(const char* call) {
  uint32_t answer = 0;
  if (!FallibleCallFails(call, &answer)) return kErrorSuccess;
  return answer != 0 ? answer : kErrorAccessDenied;
}

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

ErrorCode OpenOrCreate(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                       RegistryKey* key, bool create, bool* created) {
  if (key == nullptr) return kErrorInvalidParameter;
  *key = nullptr;
  if (created != nullptr) *created = false;
  if (const ErrorCode failed = Planned(create ? "RegCreateKeyExW" : "RegOpenKeyExW")) return failed;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle from;
  ErrorCode result = registry.Resolve(parent, &from);
  if (result != kErrorSuccess) return result;
  std::vector<std::wstring> names;
  if (!SplitPath(sub_key, &names)) return kErrorBadPathname;
  for (const std::wstring& name : names) {
    if (name.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
  }
  std::shared_ptr<Node> node = registry.Walk(from.node, names);
  bool made = false;
  if (node == nullptr) {
    if (!create) return kErrorFileNotFound;
    if ((from.access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
    // A key below a read-only key cannot be made either.
    std::shared_ptr<Node> step = from.node;
    for (const std::wstring& name : names) {
      if (step->deny_write) return kErrorAccessDenied;
      const auto found = step->children.find(Fold(name));
      if (found == step->children.end()) break;
      step = found->second.node;
    }
    node = registry.Make(from.node, names, &made);
  }
  if (node->deny_write && (access & kWriteRights) != 0) return kErrorAccessDenied;
  *key = registry.AddHandle(node, access);
  if (created != nullptr) *created = made;
  return kErrorSuccess;
}

// Copies `bytes` out as RegQueryValueExW does.
ErrorCode CopyOut(const Value& value, uint32_t* type, void* data, uint32_t* size) {
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  if (type != nullptr) *type = value.type;
  if (size == nullptr) return kErrorSuccess;
  const auto needed = static_cast<uint32_t>(value.data.size());
  if (data != nullptr) {
    if (*size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    if (needed != 0) std::memcpy(data, value.data.data(), needed);
  }
  *size = needed;
  return kErrorSuccess;
}

bool CopyName(const std::wstring& name, wchar_t* out, uint32_t* length) {
  if (name.size() >= *length) return false;
  std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  *length = static_cast<uint32_t>(name.size());
  return true;
}

std::shared_ptr<Node> FindLocked(Registry& registry, RegistryRoot root, const std::wstring& path) {
  std::vector<std::wstring> names;
  if (!SplitPath(path.c_str(), &names)) return nullptr;
  return registry.Walk(registry.Root(root), names);
}

std::shared_ptr<Node> MakeLocked(Registry& registry, RegistryRoot root, const std::wstring& path) {
  std::vector<std::wstring> names;
  SplitPath(path.c_str(), &names);
  bool created = false;
  return registry.Make(registry.Root(root), names, &created);
}

}  // namespace

RegistryKey RootKey(RegistryRoot root) {
  // The values Windows gives its predefined keys (sign-extended), so a root never collides
  // with a handle the emulation hands out.
  const auto value = static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(root)));
  return reinterpret_cast<RegistryKey>(value);
}

ErrorCode OpenRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                          RegistryKey* key) {
  return OpenOrCreate(parent, sub_key, access, key, false, nullptr);
}

ErrorCode CreateRegistryKey(RegistryKey parent, const wchar_t* sub_key, uint32_t access,
                            RegistryKey* key, bool* created) {
  return OpenOrCreate(parent, sub_key, access, key, true, created);
}

ErrorCode QueryRegistryValue(RegistryKey key, const wchar_t* name, uint32_t* type, void* data,
                             uint32_t* size) {
  if (const ErrorCode failed = Planned("RegQueryValueExW")) return failed;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(key, &handle, kKeyQueryValue)) return result;
  const Value* value = handle.node->FindValue(name);
  if (value == nullptr) return kErrorFileNotFound;
  return CopyOut(*value, type, data, size);
}

ErrorCode EnumRegistryKey(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length) {
  if (const ErrorCode failed = Planned("RegEnumKeyExW")) return failed;
  if (name == nullptr || name_length == nullptr) return kErrorInvalidParameter;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(key, &handle, kKeyEnumerateSubKeys)) return result;
  if (index >= handle.node->children.size()) return kErrorNoMoreItems;
  auto entry = handle.node->children.begin();
  std::advance(entry, index);
  return CopyName(entry->second.name, name, name_length) ? kErrorSuccess : kErrorMoreData;
}

ErrorCode EnumRegistryValue(RegistryKey key, uint32_t index, wchar_t* name, uint32_t* name_length,
                            uint32_t* type, void* data, uint32_t* size) {
  if (const ErrorCode failed = Planned("RegEnumValueW")) return failed;
  if (name == nullptr || name_length == nullptr) return kErrorInvalidParameter;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(key, &handle, kKeyQueryValue)) return result;
  if (index >= handle.node->values.size()) return kErrorNoMoreItems;
  const Value& value = handle.node->values[index];
  if (!CopyName(value.name, name, name_length)) return kErrorMoreData;
  return CopyOut(value, type, data, size);
}

ErrorCode SetRegistryValue(RegistryKey key, const wchar_t* name, uint32_t type, const void* data,
                           uint32_t size) {
  if (const ErrorCode failed = Planned("RegSetValueExW")) return failed;
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(key, &handle, kKeySetValue)) return result;
  const auto* bytes = static_cast<const uint8_t*>(data);
  Registry::SetValue(handle.node.get(), name != nullptr ? name : L"", type,
                     std::vector<uint8_t>(bytes, bytes + size));
  return kErrorSuccess;
}

ErrorCode DeleteRegistryValue(RegistryKey key, const wchar_t* name) {
  if (const ErrorCode failed = Planned("RegDeleteValueW")) return failed;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(key, &handle, kKeySetValue)) return result;
  const Value* value = handle.node->FindValue(name);
  if (value == nullptr) return kErrorFileNotFound;
  handle.node->values.erase(handle.node->values.begin() + (value - handle.node->values.data()));
  return kErrorSuccess;
}

ErrorCode DeleteRegistryTree(RegistryKey parent, const wchar_t* sub_key) {
  if (const ErrorCode failed = Planned("RegDeleteTreeW")) return failed;
  if (sub_key == nullptr || sub_key[0] == L'\0') return kErrorInvalidParameter;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  if (const ErrorCode result = registry.Resolve(parent, &handle)) return result;
  std::vector<std::wstring> names;
  if (!SplitPath(sub_key, &names)) return kErrorBadPathname;
  return registry.DeleteTree(handle.node, names);
}

ErrorCode FlushRegistryKey(RegistryKey key) {
  if (const ErrorCode failed = Planned("RegFlushKey")) return failed;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Handle handle;
  const ErrorCode result = registry.Resolve(key, &handle);
  if (result == kErrorSuccess) registry.CountFlush();
  return result;
}

ErrorCode CloseRegistryKey(RegistryKey key) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.Close(key);
}

// --- testing access -------------------------------------------------------------------------

void ResetRegistryForTesting() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  registry.Clear();
}

bool ReloadRegistryFromEnvironmentForTesting(std::string* error) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.ResetFromEnvironment(error);
}

bool LoadRegistryScenarioForTesting(const std::string& text, std::string* error) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.LoadText(text, error);
}

bool LoadRegistryScenarioFileForTesting(const std::string& file_path, std::string* error) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.LoadFile(file_path, error);
}

void SeedRegistryKeyForTesting(RegistryRoot root, const std::wstring& path) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  MakeLocked(registry, root, path);
}

void SeedRegistryValueForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t type,
                                 const std::vector<uint8_t>& data) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  Registry::SetValue(MakeLocked(registry, root, path).get(), name, type, data);
}

void SeedRegistryStringForTesting(RegistryRoot root, const std::wstring& path,
                                  const std::wstring& name, const std::wstring& text) {
  SeedRegistryValueForTesting(root, path, name, kRegSz, EncodeRegistryString(text));
}

void SeedRegistryDwordForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t value) {
  SeedRegistryValueForTesting(root, path, name, kRegDword, EncodeRegistryDword(value));
}

void SeedRegistryMultiStringForTesting(RegistryRoot root, const std::wstring& path,
                                       const std::wstring& name,
                                       const std::vector<std::wstring>& texts) {
  SeedRegistryValueForTesting(root, path, name, kRegMultiSz, EncodeRegistryMultiString(texts));
}

void DenyRegistryWriteForTesting(RegistryRoot root, const std::wstring& path, bool deny) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  MakeLocked(registry, root, path)->deny_write = deny;
}

bool RegistryKeyExistsForTesting(RegistryRoot root, const std::wstring& path) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return FindLocked(registry, root, path) != nullptr;
}

bool ReadRegistryValueForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t* type,
                                 std::vector<uint8_t>* data) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  const std::shared_ptr<Node> node = FindLocked(registry, root, path);
  const Value* value = node != nullptr ? node->FindValue(name.c_str()) : nullptr;
  if (value == nullptr) return false;
  if (type != nullptr) *type = value->type;
  if (data != nullptr) *data = value->data;
  return true;
}

bool ReadRegistryStringForTesting(RegistryRoot root, const std::wstring& path,
                                  const std::wstring& name, std::wstring* text) {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
  if (!ReadRegistryValueForTesting(root, path, name, &type, &data)) return false;
  if (type != kRegSz && type != kRegExpandSz) return false;
  *text = DecodeRegistryString(data.data(), data.size());
  return true;
}

bool ReadRegistryDwordForTesting(RegistryRoot root, const std::wstring& path,
                                 const std::wstring& name, uint32_t* value) {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
  if (!ReadRegistryValueForTesting(root, path, name, &type, &data) || type != kRegDword) {
    return false;
  }
  return DecodeRegistryDword(data.data(), data.size(), value);
}

bool ReadRegistryMultiStringForTesting(RegistryRoot root, const std::wstring& path,
                                       const std::wstring& name, std::vector<std::wstring>* texts) {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
  if (!ReadRegistryValueForTesting(root, path, name, &type, &data) || type != kRegMultiSz) {
    return false;
  }
  *texts = DecodeRegistryMultiString(data.data(), data.size());
  return true;
}

size_t OpenRegistryHandleCountForTesting() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.handle_count();
}

size_t RegistryFlushCountForTesting() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock());
  return registry.flushes();
}

std::string DumpRegistryForTesting() {
  Registry& registry = TheRegistry();
  std::vector<RegistryScenarioKey> keys;
  {
    std::lock_guard<std::mutex> guard(registry.lock());
    for (RegistryRoot root : kRoots) registry.Dump(registry.Root(root), root, L"", &keys);
  }
  return FormatRegistryScenario(keys);
}

}  // namespace platform
