#include "host/window_thread.h"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "platform/system.h"

namespace host {

namespace {

constexpr uint32_t kRunCode = platform::kWmApp + 0x51;
constexpr wchar_t kRunnerClass[] = L"KuvoHostWindowThread";

platform::MessageResult PLATFORM_WINAPI RunnerProcedure(platform::WindowHandle window,
                                                        uint32_t message,
                                                        platform::MessageWParam wparam,
                                                        platform::MessageLParam lparam) {
  if (message == kRunCode) {
    auto* code = reinterpret_cast<std::function<void()>*>(lparam);
    (*code)();
    delete code;
    return 0;
  }
  return platform::CurrentWindows().DefaultProcedure(window, message, wparam, lparam);
}

}  // namespace

WindowThread::WindowThread() {
  std::mutex mutex;
  std::condition_variable ready;
  bool started = false;
  thread_ = std::thread([&] {
    platform::Windows& windows = platform::CurrentWindows();
    platform::WindowClass runner_class;
    runner_class.name = kRunnerClass;
    runner_class.procedure = &RunnerProcedure;
    windows.RegisterWindowClass(runner_class);  // registered by an earlier thread already: fine
    platform::WindowHandle runner = windows.CreateTopLevelWindow(kRunnerClass, L"runner", 0);
    {
      // Notified under the lock: the constructor's condition goes as soon as it wakes.
      std::lock_guard<std::mutex> lock(mutex);
      runner_ = runner;
      started = true;
      ready.notify_all();
    }
    Loop();
    if (windows.IsLiveWindow(runner)) windows.DestroyWindow(runner);
  });
  std::unique_lock<std::mutex> lock(mutex);
  ready.wait(lock, [&] { return started; });
}

WindowThread::~WindowThread() {
  Stop();
}

void WindowThread::Loop() {
  platform::Windows& windows = platform::CurrentWindows();
  platform::WindowMessage message;
  while (windows.GetThreadMessage(&message) > 0) windows.DispatchThreadMessage(message);
}

void WindowThread::Post(std::function<void()> code) {
  auto* heap = new std::function<void()>(std::move(code));
  if (!platform::CurrentWindows().PostWindowMessage(
          runner_, kRunCode, 0, reinterpret_cast<platform::MessageLParam>(heap))) {
    delete heap;
  }
}

void WindowThread::Run(const std::function<void()>& code) {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  Post([&] {
    code();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    done_signal.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  done_signal.wait(lock, [&] { return done; });
}

void WindowThread::Stop() {
  if (!thread_.joinable()) return;
  Post([] { platform::CurrentWindows().PostQuit(0); });
  thread_.join();
}

}  // namespace host
