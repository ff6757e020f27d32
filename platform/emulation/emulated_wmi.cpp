// COM and the WMI objects of the emulated machine. Every object is a counted EmuObject; a
// handle that is not (or no longer) one is refused with E_POINTER, so a use after release shows
// as a failed call instead of touching freed memory.
#include <cstring>
#include <cwctype>

#include "emulated_services.h"
#include "platform/fault_hook.h"
#include "scenario_text.h"

namespace platform {

namespace {

constexpr wchar_t kConfigurationClass[] = L"Win32_NetworkAdapterConfiguration";

std::wstring Lower(const std::wstring& text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower;
}

std::wstring Trim(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// "SELECT * FROM Win32_NetworkAdapterConfiguration [WHERE SettingID = "x"]": false for any
// other query; `setting_id` empty without a WHERE clause.
bool ParseQuery(const std::wstring& query, bool* filtered, std::wstring* setting_id) {
  const std::wstring lower = Lower(query);
  const std::wstring head = L"select * from " + Lower(kConfigurationClass);
  if (lower.compare(0, head.size(), head) != 0) return false;
  const std::wstring rest = Trim(query.substr(head.size()));
  *filtered = !rest.empty();
  if (!*filtered) return true;
  const std::wstring where = L"where settingid";
  if (Lower(rest).compare(0, where.size(), where) != 0) return false;
  std::wstring value = Trim(rest.substr(where.size()));
  if (value.empty() || value[0] != L'=') return false;
  value = Trim(value.substr(1));
  if (value.size() < 2 || (value[0] != L'"' && value[0] != L'\'') || value.back() != value[0]) {
    return false;
  }
  *setting_id = value.substr(1, value.size() - 2);
  return true;
}

Variant ToVariant(const EmuValue& value) {
  Variant out;
  out.type = value.type;
  out.integer = value.integer;
  out.text = value.text;
  return out;
}

EmuValue TextList(const std::vector<std::string>& texts) {
  EmuValue value;
  if (texts.empty()) {
    value.type = kVtNull;
    return value;
  }
  value.type = kVtArray | kVtBstr;
  for (const std::string& text : texts) value.list.push_back(Utf8ToWide(text));
  return value;
}

EmuValue Boolean(bool on) {
  EmuValue value;
  value.type = kVtBool;
  value.integer = on ? -1 : 0;
  return value;
}

}  // namespace

HResult EmulatedWmi::Fail(const char* call, HResult usual) {
  uint32_t answer = 0;
  if (!FallibleCallFails(call, &answer)) return kSOk;
  return answer != 0 ? static_cast<HResult>(answer) : usual;
}

EmuObject* EmulatedWmi::Find(ComObject object, EmuKind kind) {
  const auto found = state_->objects.find(reinterpret_cast<EmuObject*>(object));
  if (found == state_->objects.end() || found->second->kind != kind) return nullptr;
  return found->second.get();
}

ComObject EmulatedWmi::Add(std::unique_ptr<EmuObject> object) {
  EmuObject* handle = object.get();
  state_->objects[handle] = std::move(object);
  return reinterpret_cast<ComObject>(handle);
}

bool EmulatedWmi::ComReady() const {
  return state_->ComDepth() > 0;
}

HResult EmulatedWmi::CoInitializeEx(uint32_t model) {
  state_->com_calls.init_models.push_back(model);
  if (const HResult failed = Fail("CoInitializeEx", kEOutOfMemory)) return failed;
  auto& thread = state_->com_threads[std::this_thread::get_id()];
  if (thread.first > 0 && thread.second != model) return kRpcEChangedMode;
  thread.second = model;
  return thread.first++ == 0 ? kSOk : kSFalse;
}

void EmulatedWmi::CoUninitialize() {
  state_->com_calls.releases.push_back("CoUninitialize");
  const auto thread = state_->com_threads.find(std::this_thread::get_id());
  if (thread != state_->com_threads.end() && thread->second.first > 0) --thread->second.first;
}

HResult EmulatedWmi::CoInitializeSecurity(const ComSecurity& security) {
  state_->com_calls.security.push_back(security);
  if (const HResult failed = Fail("CoInitializeSecurity", kEOutOfMemory)) return failed;
  if (!ComReady()) return kCoENotInitialized;
  if (state_->security_set) return kRpcETooLate;
  state_->security_set = true;
  return kSOk;
}

HResult EmulatedWmi::CreateLocator(ComObject* locator) {
  if (locator == nullptr) return kEPointer;
  *locator = nullptr;
  if (const HResult failed = Fail("CoCreateInstance", kEOutOfMemory)) return failed;
  if (!ComReady()) return kCoENotInitialized;
  auto object = std::make_unique<EmuObject>();
  object->kind = EmuKind::kLocator;
  *locator = Add(std::move(object));
  return kSOk;
}

HResult EmulatedWmi::ConnectServer(ComObject locator, const wchar_t* name_space,
                                   ComObject* services) {
  if (services == nullptr) return kEPointer;
  *services = nullptr;
  state_->com_calls.namespaces.push_back(name_space != nullptr ? name_space : L"");
  if (const HResult failed = Fail("ConnectServer", kWbemEFailed)) return failed;
  if (Find(locator, EmuKind::kLocator) == nullptr) return kEPointer;
  if (name_space == nullptr || Lower(name_space) != L"root\\cimv2") return kWbemEInvalidNamespace;
  auto object = std::make_unique<EmuObject>();
  object->kind = EmuKind::kServices;
  *services = Add(std::move(object));
  return kSOk;
}

HResult EmulatedWmi::SetProxyBlanket(ComObject services, const ProxyBlanket& blanket) {
  state_->com_calls.blankets.push_back(blanket);
  if (const HResult failed = Fail("CoSetProxyBlanket", kEOutOfMemory)) return failed;
  return Find(services, EmuKind::kServices) != nullptr ? kSOk : kEPointer;
}

HResult EmulatedWmi::ExecQuery(ComObject services, const wchar_t* language, const wchar_t* query,
                               int32_t flags, ComObject* enumerator) {
  if (enumerator == nullptr) return kEPointer;
  *enumerator = nullptr;
  state_->com_calls.query_languages.push_back(language != nullptr ? language : L"");
  state_->com_calls.queries.push_back(query != nullptr ? query : L"");
  state_->com_calls.query_flags.push_back(flags);
  if (const HResult failed = Fail("ExecQuery", kWbemEFailed)) return failed;
  if (Find(services, EmuKind::kServices) == nullptr) return kEPointer;
  bool filtered = false;
  std::wstring setting_id;
  if (language == nullptr || Lower(language) != L"wql" || query == nullptr ||
      !ParseQuery(query, &filtered, &setting_id)) {
    return kWbemEInvalidQuery;
  }
  auto object = std::make_unique<EmuObject>();
  object->kind = EmuKind::kEnumerator;
  for (size_t i = 0; i < state_->devices.size(); ++i) {
    const EmulatedDevice& device = state_->devices[i];
    if (!device.has_adapter || !device.wmi) continue;
    // WQL compares strings without regard to letter case.
    if (!filtered || Lower(Utf8ToWide(device.guid)) == Lower(setting_id))
      object->matches.push_back(i);
  }
  *enumerator = Add(std::move(object));
  return kSOk;
}

HResult EmulatedWmi::Next(ComObject enumerator, int32_t timeout, ComObject* object,
                          uint32_t* returned) {
  if (object == nullptr || returned == nullptr) return kEPointer;
  *object = nullptr;
  *returned = 0;
  state_->com_calls.next_timeouts.push_back(timeout);
  if (const HResult failed = Fail("Next", kWbemEFailed)) return failed;
  EmuObject* found = Find(enumerator, EmuKind::kEnumerator);
  if (found == nullptr) return kEPointer;
  if (found->position >= found->matches.size()) return kWbemSFalse;
  auto instance = std::make_unique<EmuObject>();
  instance->kind = EmuKind::kInstance;
  instance->device = found->matches[found->position++];
  *object = Add(std::move(instance));
  *returned = 1;
  return kSOk;
}

HResult EmulatedWmi::GetObject(ComObject services, const wchar_t* path, ComObject* object) {
  if (object == nullptr) return kEPointer;
  *object = nullptr;
  state_->com_calls.get_object_paths.push_back(path != nullptr ? path : L"");
  if (const HResult failed = Fail("GetObject", kWbemEFailed)) return failed;
  if (Find(services, EmuKind::kServices) == nullptr) return kEPointer;
  if (path == nullptr || Lower(path) != Lower(kConfigurationClass)) return kWbemENotFound;
  auto found = std::make_unique<EmuObject>();
  found->kind = EmuKind::kClass;
  *object = Add(std::move(found));
  return kSOk;
}

HResult EmulatedWmi::Get(ComObject object, const wchar_t* name, Variant* value) {
  if (value == nullptr || name == nullptr) return kEInvalidArg;
  *value = Variant();
  if (const HResult failed = Fail("Get", kWbemEFailed)) return failed;
  const auto found = state_->objects.find(reinterpret_cast<EmuObject*>(object));
  if (found == state_->objects.end()) return kEPointer;
  EmuObject& held = *found->second;
  if (held.kind == EmuKind::kInParams || held.kind == EmuKind::kOutParams) {
    const auto property = held.properties.find(name);
    if (property == held.properties.end()) return kWbemENotFound;
    *value = ToVariant(property->second);
    return kSOk;
  }
  if (held.kind != EmuKind::kInstance) return kWbemENotFound;
  const EmulatedDevice& device = state_->devices[held.device];
  const std::wstring key = Lower(name);
  EmuValue property;
  if (key == L"__path") {
    property.type = kVtBstr;
    property.text = state_->InstancePath(held.device);
  } else if (key == L"settingid") {
    property.type = kVtBstr;
    property.text = Utf8ToWide(device.guid);
  } else if (key == L"description") {
    property.type = kVtBstr;
    property.text = Utf8ToWide(device.description);
  } else if (key == L"index") {
    property.type = kVtI4;
    property.integer = static_cast<int64_t>(held.device);
  } else if (key == L"ipenabled") {
    property = Boolean(device.enabled);
  } else if (key == L"dhcpenabled") {
    property = Boolean(device.dhcp);
  } else if (key == L"ipaddress") {
    property = TextList(device.enabled && !device.address.empty()
                            ? std::vector<std::string>{device.address}
                            : std::vector<std::string>{});
  } else if (key == L"ipsubnet") {
    property =
        TextList(device.enabled && !device.mask.empty() ? std::vector<std::string>{device.mask}
                                                        : std::vector<std::string>{});
  } else if (key == L"defaultipgateway") {
    property = TextList(device.enabled && !device.gateway.empty()
                            ? std::vector<std::string>{device.gateway}
                            : std::vector<std::string>{});
  } else if (key == L"dnsserversearchorder") {
    property = TextList(device.dns);
  } else {
    return kWbemENotFound;
  }
  *value = ToVariant(property);  // arrays are not handed out; their type tells what they hold
  return kSOk;
}

HResult EmulatedWmi::Put(ComObject object, const wchar_t* name, const Variant& value,
                         int32_t type) {
  if (name == nullptr) return kEInvalidArg;
  EmuObject* found = Find(object, EmuKind::kInParams);
  EmulatedPut put;
  put.method = found != nullptr ? found->method : L"";
  put.name = name;
  put.type = value.type;
  put.put_type = type;
  put.integer = value.integer;
  EmuValue stored;
  stored.type = value.type;
  stored.integer = value.integer;
  stored.text = value.text;
  if (value.type == (kVtArray | kVtBstr)) {
    const auto array = state_->arrays.find(value.array);
    if (array == state_->arrays.end()) return kEInvalidArg;
    stored.list = *array->second;
    put.texts = stored.list;
  } else if (value.type == kVtBstr) {
    put.texts.push_back(value.text);
  }
  state_->com_calls.puts.push_back(put);
  if (const HResult failed = Fail("Put", kWbemEFailed)) return failed;
  if (found == nullptr) return kWbemEFailed;
  std::vector<std::wstring> names;
  EmulatedMethodParameters(found->method, &names);
  bool known = false;
  for (const std::wstring& parameter : names) known = known || Lower(parameter) == Lower(name);
  if (!known) return kWbemENotFound;
  found->properties[name] = stored;
  return kSOk;
}

HResult EmulatedWmi::GetMethod(ComObject class_object, const wchar_t* method,
                               ComObject* in_signature) {
  if (in_signature == nullptr || method == nullptr) return kEInvalidArg;
  *in_signature = nullptr;
  if (const HResult failed = Fail("GetMethod", kWbemEFailed)) return failed;
  if (Find(class_object, EmuKind::kClass) == nullptr) return kEPointer;
  std::vector<std::wstring> names;
  if (!EmulatedMethodParameters(method, &names)) return kWbemENotFound;
  if (names.empty()) return kSOk;  // WMI gives no signature for a method without input
  auto signature = std::make_unique<EmuObject>();
  signature->kind = EmuKind::kSignature;
  signature->method = method;
  *in_signature = Add(std::move(signature));
  return kSOk;
}

HResult EmulatedWmi::SpawnInstance(ComObject class_object, ComObject* instance) {
  if (instance == nullptr) return kEPointer;
  *instance = nullptr;
  if (const HResult failed = Fail("SpawnInstance", kWbemEFailed)) return failed;
  EmuObject* signature = Find(class_object, EmuKind::kSignature);
  if (signature == nullptr) return kEPointer;
  auto spawned = std::make_unique<EmuObject>();
  spawned->kind = EmuKind::kInParams;
  spawned->method = signature->method;
  *instance = Add(std::move(spawned));
  return kSOk;
}

HResult EmulatedWmi::ExecMethod(ComObject services, const wchar_t* object_path,
                                const wchar_t* method, ComObject in, ComObject* out) {
  if (out != nullptr) *out = nullptr;
  const std::wstring name = method != nullptr ? method : L"";
  const std::wstring path = object_path != nullptr ? object_path : L"";
  if (const HResult failed = Fail("ExecMethod", kWbemEFailed)) return failed;
  if (Find(services, EmuKind::kServices) == nullptr) return kEPointer;
  std::vector<std::wstring> names;
  if (!EmulatedMethodParameters(name, &names)) return kWbemEInvalidMethod;
  size_t device = state_->devices.size();
  for (size_t i = 0; i < state_->devices.size(); ++i) {
    if (state_->devices[i].has_adapter && state_->devices[i].wmi &&
        Lower(state_->InstancePath(i)) == Lower(path)) {
      device = i;
    }
  }
  if (device == state_->devices.size()) return kWbemENotFound;
  const EmuObject* parameters = nullptr;
  if (in != nullptr) {
    parameters = Find(in, EmuKind::kInParams);
    if (parameters == nullptr) return kEInvalidArg;
  }
  const uint32_t result = RunMethod(name, device, parameters);
  state_->com_calls.methods.push_back({name, path, result});
  if (out != nullptr) {
    auto answer = std::make_unique<EmuObject>();
    answer->kind = EmuKind::kOutParams;
    EmuValue value;
    value.type = kVtI4;
    value.integer = result;
    answer->properties[L"ReturnValue"] = value;
    *out = Add(std::move(answer));
  }
  return kSOk;
}

uint32_t EmulatedWmi::Release(ComObject object) {
  const auto found = state_->objects.find(reinterpret_cast<EmuObject*>(object));
  if (found == state_->objects.end()) return 0;
  const uint32_t left = --found->second->references;
  if (left == 0) {
    static const char* const kNames[] = {"locator", "services",  "enumerator",    "instance",
                                         "class",   "signature", "in-parameters", "out-parameters"};
    state_->com_calls.releases.push_back(kNames[static_cast<int>(found->second->kind)]);
    state_->objects.erase(found);
  }
  return left;
}

SafeArray EmulatedWmi::SafeArrayCreateBstrVector(uint32_t count) {
  if (Fail("SafeArrayCreateVector", kEOutOfMemory) != kSOk) return nullptr;
  auto array = std::make_unique<std::vector<std::wstring>>(count);
  void* handle = array.get();
  state_->arrays[handle] = std::move(array);
  return static_cast<SafeArray>(handle);
}

HResult EmulatedWmi::SafeArrayPutElement(SafeArray array, int32_t index, Bstr text) {
  if (const HResult failed = Fail("SafeArrayPutElement", kEOutOfMemory)) return failed;
  const auto found = state_->arrays.find(array);
  if (found == state_->arrays.end()) return kEInvalidArg;
  if (index < 0 || static_cast<size_t>(index) >= found->second->size()) return kDispEBadIndex;
  (*found->second)[static_cast<size_t>(index)] = text != nullptr ? text : L"";
  return kSOk;
}

HResult EmulatedWmi::SafeArrayDestroy(SafeArray array) {
  if (array == nullptr) return kSOk;
  return state_->arrays.erase(array) == 1 ? kSOk : kEInvalidArg;
}

Bstr EmulatedWmi::SysAllocString(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  if (Fail("SysAllocString", kEOutOfMemory) != kSOk) return nullptr;
  const size_t length = std::wcslen(text);
  auto copy = std::make_unique<wchar_t[]>(length + 1);
  std::memcpy(copy.get(), text, (length + 1) * sizeof(wchar_t));
  wchar_t* handle = copy.get();
  state_->bstrs[handle] = std::move(copy);
  return handle;
}

void EmulatedWmi::SysFreeString(Bstr text) {
  if (text != nullptr) state_->bstrs.erase(text);
}

}  // namespace platform
