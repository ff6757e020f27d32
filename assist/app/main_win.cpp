// KuvoAssist's entry on Windows: a GUI-subsystem program that never opens a window.
#include <windows.h>

#include "platform/adapter_services.h"
#include "platform/com_module_services.h"
#include "platform/process_services.h"
#include "start_up.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int show) {
  assist::ProgramServices services;
  services.adapter = platform::SystemAdapterServices();
  services.process = &platform::SystemProcessServices();
  services.com = &platform::SystemComModuleServices();
  return assist::RunKuvoAssist(services, arguments != nullptr ? arguments : L"", show);
}
