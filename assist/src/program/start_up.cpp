#include "start_up.h"

#include <memory>

#include "common/folders.h"
#include "common/kuvo_bindings.h"
#include "elevation.h"
#include "kuvo_assist_module.h"
#include "modify_adapter_info.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"

namespace assist {

std::wstring LogFilePath() {
  return kuvo::GetLogFolder() + platform::kPathSeparator + kLogFileName;
}

std::wstring RelaunchRecordPath() {
  return kuvo::GetDataFolder() + platform::kPathSeparator + kRelaunchRecordName;
}

int RunKuvoAssist(const platform::System& system, const std::wstring& arguments, int show) {
  // The program runs with administrator rights: its libraries come from its own folder and the
  // system folder only.
  kuvo::SetLibrarySearchFlags(platform::kLoadLibrarySearchApplicationDir |
                              platform::kLoadLibrarySearchSystem32);
  kuvo::Kuvotrace_Init(LogFilePath().c_str());
  kuvo::Kuvotrace_SetId(kTraceId);
  kuvo::Kuvotrace_SetLevel(kTraceLevel);

  // Lives until the COM module has returned: its WMI connection keeps COM on this thread.
  auto adapter = std::make_unique<CModifyAdapterInfo>(system.adapter);
  adapter->CheckEnableAdapter();
  if (!adapter->CheckKaerAdapterCfg()) {
    if (IsRunAsAdmin(*system.process)) {
      adapter->ResetKaerAdapterCfg();
    } else {
      RunAsAdmin(*system.process, arguments, show, RelaunchRecordPath());
    }
  }
  kuvo::Kuvotrace_UnInit();

  CKuvoAssistModule module(system.com, system.process);
  const int result = module.WinMain(show);
  adapter.reset();
  return result;
}

}  // namespace assist
