// Shared by the two KuvoChat demo sections.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

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

// A conversation kind as the demo prints it: the code and its name ("9 em_PK_USER").
inline std::string PeerKindText(uint32_t kind) {
  static const std::pair<uint32_t, const char*> kNames[] = {
      {0, "em_PK_NONE"},
      {1, "em_PK_G"},
      {3, "em_PK_D"},
      {9, "em_PK_USER"},
      {20, "em_PK_CD"},
      {22, "em_PK_CSCMD"},
      {50, "em_PK_MATTER_DISCUSS"},
      {51, "em_PK_MATTER_REMIND"},
      {52, "em_PK_MATTER_CUSTOMER"},
      {53, "em_PK_MATTER_CUSTOMER_VISIT"},
      {54, "em_PK_MATTER_ORDER_APPROVAL"},
  };
  for (const auto& entry : kNames) {
    if (entry.first == kind) return std::to_string(kind) + " " + entry.second;
  }
  return std::to_string(kind) + " (no name)";
}

// A folder for the SDK's data, named `name`, below this run's own temporary folder (removed when
// the demo ends).
inline std::wstring ChatDataFolder(const std::string& name) {
  return (kuvo_test::ProcessTempFolder().path() / name).wstring();
}

}  // namespace demo
