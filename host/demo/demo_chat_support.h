// Shared by the two KuvoChat demo sections.
#pragma once

#include <string>

#include "kuvocore_control.h"
#include "temp_folder.h"
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

// A folder for the SDK's data, named `name`, below this run's own temporary folder (removed when
// the demo ends).
inline std::wstring ChatDataFolder(const std::string& name) {
  return (kuvo_test::ProcessTempFolder().path() / name).wstring();
}

}  // namespace demo
