#include "kuvo_assist_module.h"

#include <vector>

#include "module_resources.h"
#include "platform/debug_output.h"
#include "platform/wmi.h"
#include "registry_script.h"

namespace assist {

namespace {

constexpr uint32_t kClsctxLocalServer = 0x4;
constexpr uint32_t kRegclsMultipleUse = 0x1;
constexpr uint32_t kRegclsSuspended = 0x4;

// The registry script is ASCII text; anything else is taken byte by byte.
std::wstring ScriptText(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return text;
}

// A path as a quoted script text: quotes doubled.
std::wstring EscapeQuotes(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    out += c;
    if (c == L'\'') out += L'\'';
  }
  return out;
}

}  // namespace

CKuvoAssistModule::CKuvoAssistModule(platform::ComModuleServices* com,
                                     platform::ProcessServices* process)
    : com_(com), process_(process) {
  settings_.main_thread_id = process_->GetCurrentThreadId();
}

int CKuvoAssistModule::WinMain(int show) {
  if (!com_->InitializeModuleLock()) {
    platform::OutputDebugText("ERROR : Unable to initialize critical section in CAtlBaseModule\n");
    return -1;
  }
  const platform::HResult init = com_->CoInitializeEx(platform::kCoinitApartmentThreaded);
  if (platform::Succeeded(init)) {
    settings_.com_initialized = true;
  } else if (init != platform::kRpcEChangedMode) {
    return init;
  }

  platform::HResult result = platform::kSOk;
  if (ParseCommandLine(process_->GetCommandLine(), &result)) result = Run(show);

  if (settings_.com_initialized) {
    com_->CoUninitialize();
    settings_.com_initialized = false;
  }
  return result;
}

bool CKuvoAssistModule::ParseCommandLine(const std::wstring& command_line,
                                         platform::HResult* result) {
  *result = platform::kSOk;
  switch (FindCommandWord(command_line)) {
    case CommandWord::kNone:
      return true;
    case CommandWord::kUnregServer:
      *result = UnregisterServer(false);
      return false;
    case CommandWord::kRegServer:
      *result = RegisterServer(false);
      return false;
    case CommandWord::kUnregServerPerUser:
      *result = UnregisterServer(true);
      return false;
    case CommandWord::kRegServerPerUser:
      *result = RegisterServer(true);
      return false;
  }
  return false;
}

platform::HResult CKuvoAssistModule::RegisterServer(bool per_user) {
  platform::HResult hr = UpdateRegistryAppId(true, per_user);
  if (platform::Succeeded(hr)) hr = com_->RegisterTypeLibrary(ModulePath(), per_user);
  return platform::Succeeded(hr) ? platform::kSOk : hr;
}

platform::HResult CKuvoAssistModule::UnregisterServer(bool per_user) {
  platform::HResult hr = com_->UnregisterTypeLibrary(ModulePath(), per_user);
  if (platform::Succeeded(hr)) hr = UpdateRegistryAppId(false, per_user);
  return platform::Succeeded(hr) ? platform::kSOk : hr;
}

platform::HResult CKuvoAssistModule::Run(int) {
  platform::HResult hr =
      RegisterClassObjects(kClsctxLocalServer, kRegclsMultipleUse | kRegclsSuspended);
  if (hr == platform::kSOk) {
    // A class object would keep the server alive; there is none, so no message loop runs.
  } else {
    settings_.delay_shutdown = false;
  }
  if (platform::Succeeded(hr)) hr = RevokeClassObjects();
  return platform::Succeeded(hr) ? platform::kSOk : hr;
}

platform::HResult CKuvoAssistModule::UpdateRegistryAppId(bool do_register, bool per_user) {
  std::string bytes;
  if (!com_->LoadResource(kRegistryResourceType, kRegistryScriptId, &bytes)) {
    return platform::kDispEException;
  }
  const std::wstring path = ModulePath();
  const bool has_blank = path.find(L' ') != std::wstring::npos;
  const ScriptReplacements replacements = {
      {L"Module", EscapeQuotes(has_blank ? L"\"" + path + L"\"" : path)},
      {L"Module_Raw", EscapeQuotes(path)},
      {L"APPID", kModuleAppId},
  };
  return RunRegistryScript(ScriptText(bytes), replacements, do_register, per_user);
}

platform::HResult CKuvoAssistModule::RegisterClassObjects(uint32_t, uint32_t) {
  return platform::kSFalse;  // the object map is empty
}

platform::HResult CKuvoAssistModule::RevokeClassObjects() {
  return platform::kSOk;
}

std::wstring CKuvoAssistModule::ModulePath() {
  std::vector<wchar_t> buffer(platform::kMaxPath + 1, L'\0');
  if (process_->GetModuleFileName(buffer.data(), platform::kMaxPath) == 0) return std::wstring();
  return std::wstring(buffer.data());  // terminated within the buffer, also when cut
}

}  // namespace assist
