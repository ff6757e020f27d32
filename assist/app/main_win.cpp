// KuvoAssist's entry on Windows: a GUI-subsystem program that never opens a window.
#include <windows.h>

#include "start_up.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int show) {
  return assist::RunKuvoAssist(arguments != nullptr ? arguments : L"", show);
}
