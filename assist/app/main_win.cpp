// KuvoAssist's entry on Windows: a GUI-subsystem program that never opens a window.
#include <windows.h>

#include "platform/program_entry.h"
#include "start_up.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int show) {
  return assist::RunKuvoAssist(platform::ProgramSystem(), arguments != nullptr ? arguments : L"",
                               show);
}
