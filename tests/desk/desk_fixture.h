// Test fixture that drives KuvoDesk through its exports like a host: a window thread with a
// message loop (the host's UI thread), a recording host callback, the SDK stand-in, and the
// Kuvotrace stand-in's log read back line by line.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "KuvoDesk.h"
#include "host/window_thread.h"
#include "platform/system.h"
#include "platform/testing/message_box_answers.h"
#include "platform/windowing.h"
#include "sl/sl_control.h"
#include "temp_folder.h"
#include "testing/kuvo_desk_testing.h"

namespace kuvo_test {

constexpr uint32_t kUserData = 0x5EED;

struct HostEvent {
  int32_t code;
  std::wstring text;
  bool operator==(const HostEvent& other) const { return code == other.code && text == other.text; }
};
void PrintTo(const HostEvent& event, std::ostream* out);

// Records host events; a hook runs inside each event (on its thread) after it was recorded.
class HostRecorder {
 public:
  void Add(uint32_t user_data, int32_t code, std::wstring text);
  std::vector<HostEvent> events();
  void Clear();
  // Waits until at least `count` events were recorded; false after 10 s (a hang is a failure).
  bool WaitForCount(size_t count);
  void SetHook(std::function<void(const HostEvent&)> hook);
  bool wrong_user_data();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<HostEvent> events_;
  std::function<void(const HostEvent&)> hook_;
  bool wrong_user_data_ = false;
};

class DeskTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The host callback, set with kUserData.
  void SetCallback();
  // Sets the host callback, starts a session on the window thread (Master()) and raises its
  // connected event; gives the session. The events stay recorded.
  SLSESSION StartConnected();
  // KuvoMasterStartSession on the window thread.
  void Master(const std::string& address = "203.0.113.7:4118",
              const std::string& session_name = "session-9",
              const std::string& display_name = std::string());
  // Answers the message boxes of the window thread (from now until the test ends).
  void AnswerBoxes(std::vector<int> answers);
  std::vector<platform::ShownMessageBox> ShownBoxes();
  platform::WindowHandle Window();
  // Waits until the SDK's events have been handled.
  void Settle() { sl_control::WaitIdle(); }

  // The log lines written since the test started, without their time stamps:
  //   "INFO  [0] CKuvoXrk::MasterStartSession: [XRK]创建远程桌面空会话"
  std::vector<std::string> LogLines();
  // The lines of one function.
  std::vector<std::string> LogLinesOf(const std::string& function);
  static std::string Pid();

  platform::Windows& windows_ = platform::CurrentWindows();
  host::WindowThread window_thread_;
  std::unique_ptr<platform::ScopedMessageBoxAnswers> answers_;
  kuvo_test::TempFolder folder_;
};

extern HostRecorder* g_host;

// Runs `code` on a thread of its own and waits up to `limit` for it. When the time runs out the
// test program stops at once, printing "deadlock: <what>" (a thread stuck in a wait cannot be
// taken back, and every later test would hang behind it).
void WithinOrDeadlock(const std::string& what, const std::function<void()>& code,
                      std::chrono::seconds limit = std::chrono::seconds(30));

// The SDK's argument text of a window handle.
std::string HandleText(platform::WindowHandle window);
// Converts UTF-8 test texts to wide.
std::wstring Wide(const std::string& utf8);

}  // namespace kuvo_test
