// CKuvoAssistModule: the program's out-of-process COM server module (our own equivalent of an
// ATL executable module). It publishes no class objects: it handles the registration words of
// the command line and otherwise ends at once.
//
// For the main thread; `com` and `process` must outlive the module.
#pragma once

#include <cstdint>
#include <string>

#include "command_words.h"
#include "platform/com_module_services.h"
#include "platform/process_services.h"

namespace assist {

// The module's standard settings.
struct ModuleSettings {
  uint32_t main_thread_id = 0;
  uint32_t shutdown_timeout_ms = 5000;
  uint32_t pause_ms = 1000;
  bool delay_shutdown = true;
  bool com_initialized = false;  // by the module, and to be undone by it
};

class CKuvoAssistModule {
 public:
  CKuvoAssistModule(platform::ComModuleServices* com, platform::ProcessServices* process);

  // The module's run: -1 when its own initialisation failed, the failing HRESULT of COM's
  // initialisation, the HRESULT of a registration word, or 0.
  //
  // COM is asked for an apartment-threaded initialisation. RPC_E_CHANGED_MODE means the thread
  // already belongs to the multithreaded apartment (the adapter's WMI work keeps COM that way
  // until the adapter object goes, after this run): COM is usable for everything the module
  // does, so it goes on without an initialisation of its own instead of ending the run.
  int WinMain(int show);

  // The registration words: the first failing HRESULT, else S_OK.
  platform::HResult RegisterServer(bool per_user);
  platform::HResult UnregisterServer(bool per_user);

  const ModuleSettings& settings() const { return settings_; }

 private:
  // Handles a command word; false (with `result`) when the run is to stop.
  bool ParseCommandLine(const std::wstring& command_line, platform::HResult* result);
  platform::HResult Run(int show);
  // The registry script (REGISTRY 101) with the replacements Module, Module_Raw and APPID.
  platform::HResult UpdateRegistryAppId(bool do_register, bool per_user);
  // The empty object map: nothing is registered (S_FALSE) and nothing revoked.
  platform::HResult RegisterClassObjects(uint32_t context, uint32_t flags);
  platform::HResult RevokeClassObjects();
  std::wstring ModulePath();

  platform::ComModuleServices* com_;
  platform::ProcessServices* process_;
  ModuleSettings settings_;
};

}  // namespace assist
