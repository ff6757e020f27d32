// Named events of the process services: the same case against CreateEventW (under wine) and
// against the emulation, whose events are lock files in a run folder shared by its processes.
#include "platform/process_services.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/process.h"
#include "platform/program_entry.h"
#include "temp_folder.h"
#if !defined(_WIN32)
#include "platform/testing/emulated_process.h"
#endif

namespace {

constexpr platform::ErrorCode kErrorAlreadyExists = 183;

class ProcessServicesTest : public ::testing::Test {
 protected:
  ProcessServicesTest() {
#if defined(_WIN32)
    process_ = platform::ProgramSystem().process;
#else
    emulated_ = std::make_unique<platform::EmulatedProcess>(
        platform::ProcessScenario(), run_folder_.path().string(), "/bin/true",
        std::vector<std::string>());
    process_ = emulated_.get();
#endif
  }

  kuvo_test::TempFolder run_folder_;
#if !defined(_WIN32)
  std::unique_ptr<platform::EmulatedProcess> emulated_;
#endif
  platform::ProcessServices* process_ = nullptr;
};

// "If the named event object existed before the function call, the function returns a handle to
// the existing object and GetLastError returns ERROR_ALREADY_EXISTS" (CreateEventW).
TEST_F(ProcessServicesTest, ANamedEventAnswersAlreadyExistsTheSecondTime) {
  const std::wstring name = L"KuvoSeamEvent" + std::to_wstring(platform::CurrentProcessId());
  ASSERT_NE(process_->CreateNamedEvent(false, false, name.c_str()), nullptr);
  EXPECT_EQ(process_->LastErrorCode(), 0u);
  ASSERT_NE(process_->CreateNamedEvent(false, false, name.c_str()), nullptr);
  EXPECT_EQ(process_->LastErrorCode(), kErrorAlreadyExists);
}

}  // namespace
