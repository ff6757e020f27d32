// Shared by the two KuvoChat demo sections.
#pragma once

#include <cstdlib>
#include <string>

#include "kuvocore_control.h"
#include "tim/tim_control.h"

namespace demo {

// Lets every report in flight settle: the SDK's thread and the runner may each hand work to the
// other, so both are drained a few times over.
inline void SettleChat() {
  for (int i = 0; i < 3; ++i) {
    tim_control::WaitIdle();
    KuvocoreTest_WaitRunnerIdle();
  }
}

// A folder of the temporary directory for the SDK's data, named `name`.
inline std::wstring ChatDataFolder(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
#if defined(_WIN32)
  if (!tmp) tmp = std::getenv("TEMP");
  const std::string path = std::string(tmp ? tmp : ".") + "\\" + name;
#else
  const std::string path = std::string(tmp ? tmp : "/tmp") + "/" + name;
#endif
  return std::wstring(path.begin(), path.end());
}

}  // namespace demo
