#include "desk_fixture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <thread>

#include "kuvotrace_control.h"
#include "platform/process.h"
#include "platform/system.h"
#if !defined(_WIN32)
#include "platform/testing/window_emulation.h"
#endif

namespace kuvo_test {

HostRecorder* g_host = nullptr;

namespace {

void OnHostEvent(uint32_t user_data, int32_t code, std::wstring text) {
  if (g_host != nullptr) g_host->Add(user_data, code, std::move(text));
}

// The log folder the SDK is given lies under the documents folder; outside Windows that is
// XDG_DOCUMENTS_DIR, pointed at a folder of this run before any thread starts.
class DocumentsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
#if !defined(_WIN32)
    ::setenv("XDG_DOCUMENTS_DIR", folder_.narrow().c_str(), 1);
    // The emulated main executable carries icon 6000, as the host's does.
    platform::SetMainExecutableIconsForTesting({6000});
#endif
  }

 private:
  kuvo_test::TempFolder folder_;
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DocumentsEnvironment());

}  // namespace

void PrintTo(const HostEvent& event, std::ostream* out) {
  std::string text;
  for (wchar_t c : event.text) text += c < 0x80 ? static_cast<char>(c) : '?';
  *out << "{" << event.code << ", \"" << text << "\"}";
}

void HostRecorder::Add(uint32_t user_data, int32_t code, std::wstring text) {
  std::function<void(const HostEvent&)> hook;
  HostEvent event{code, std::move(text)};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (user_data != kUserData) wrong_user_data_ = true;
    events_.push_back(event);
    hook = hook_;
    changed_.notify_all();
  }
  if (hook) hook(event);
}

std::vector<HostEvent> HostRecorder::events() {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

void HostRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

bool HostRecorder::WaitForCount(size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
}

void HostRecorder::SetHook(std::function<void(const HostEvent&)> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

bool HostRecorder::wrong_user_data() {
  std::lock_guard<std::mutex> lock(mutex_);
  return wrong_user_data_;
}

void DeskTest::SetUp() {
  g_host = new HostRecorder;
  sl_control::Reset();
  // The tests raise the controlled side's login events themselves, each at its moment.
  sl_control::HoldLogins();
  KuvotraceTest_Reset();
  ASSERT_TRUE(Kuvotrace_Init((folder_.path() / "desk.log").wstring().c_str()));
}

void DeskTest::TearDown() {
  Settle();
  KuvoSetRemoteControlCallback(0, nullptr);
  window_thread_.Run([this] {
    KuvoDeskReloadForTesting();
    answers_.reset();
  });
  window_thread_.Stop();
  sl_control::Reset();
  KuvotraceTest_Reset();
  EXPECT_FALSE(g_host->wrong_user_data());
  delete g_host;
  g_host = nullptr;
}

void DeskTest::SetCallback() {
  KuvoSetRemoteControlCallback(kUserData, &OnHostEvent);
}

SLSESSION DeskTest::StartConnected() {
  SetCallback();
  Master();
  const SLSESSION session = sl_control::LastRemoteSession();
  sl_control::RaiseRemoteEvent(session, SLREMOTE_EVENT_CONNECTED);
  Settle();
  return session;
}

void DeskTest::Master(const std::string& address, const std::string& session_name,
                      const std::string& display_name) {
  window_thread_.Run([&] { KuvoMasterStartSession(address, session_name, display_name); });
}

void DeskTest::AnswerBoxes(std::vector<int> answers) {
  window_thread_.Run(
      [&] { answers_ = std::make_unique<platform::ScopedMessageBoxAnswers>(std::move(answers)); });
}

std::vector<platform::ShownMessageBox> DeskTest::ShownBoxes() {
  return answers_ ? answers_->shown() : std::vector<platform::ShownMessageBox>();
}

platform::WindowHandle DeskTest::Window() {
  return static_cast<platform::WindowHandle>(KuvoDeskSessionWindowForTesting());
}

std::vector<std::string> DeskTest::LogLines() {
  std::ifstream in(folder_.path() / "desk.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line.size() > 24 ? line.substr(24) : line);
  }
  return lines;
}

std::vector<std::string> DeskTest::LogLinesOf(const std::string& function) {
  std::vector<std::string> of;
  for (const std::string& line : LogLines()) {
    if (line.find("] " + function + ": ") != std::string::npos) of.push_back(line);
  }
  return of;
}

std::string DeskTest::Pid() {
  return std::to_string(platform::CurrentProcessId());
}

void WithinOrDeadlock(const std::string& what, const std::function<void()>& code,
                      std::chrono::seconds limit) {
  struct State {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done = false;
  };
  auto state = std::make_shared<State>();
  std::thread runner([state, &code] {
    code();
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->done_signal.notify_all();
  });
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->done_signal.wait_for(lock, limit, [&] { return state->done; })) {
    std::fprintf(stderr, "deadlock: %s (not done after %d s)\n", what.c_str(),
                 static_cast<int>(limit.count()));
    std::fflush(stderr);
    std::_Exit(3);
  }
  lock.unlock();
  runner.join();
}

std::string HandleText(platform::WindowHandle window) {
  return std::to_string(reinterpret_cast<uintptr_t>(window));
}

std::wstring Wide(const std::string& utf8) {
  std::wstring out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t code = c;
    size_t extra = 0;
    if (c >= 0xF0) {
      code = c & 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      code = c & 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      code = c & 0x1F;
      extra = 1;
    }
    for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += extra + 1;
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
      code -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (code >> 10));
      out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<wchar_t>(code);
    }
  }
  return out;
}

}  // namespace kuvo_test
