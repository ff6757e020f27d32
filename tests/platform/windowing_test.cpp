// The windows seam: the same cases against the Win32 calls (under wine, on the Xvfb display) and
// against the emulation.
#include "platform/windowing.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/window_thread.h"
#include "platform/system.h"
#include "platform/testing/message_box_answers.h"

namespace {

using platform::MessageLParam;
using platform::MessageResult;
using platform::MessageWParam;
using platform::WindowHandle;

constexpr wchar_t kClass[] = L"KuvoSeamTestWindow";
constexpr uint32_t kAsk = platform::kWmUser + 1;
constexpr uint32_t kRelay = platform::kWmUser + 2;  // asks the window in lparam, adds 1

struct Seen {
  uint32_t message;
  MessageWParam wparam;
  std::thread::id thread;
};

struct Recorder {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Seen> seen;
  std::function<void(WindowHandle)> on_destroy;  // runs inside WM_DESTROY

  void Add(uint32_t message, MessageWParam wparam) {
    std::lock_guard<std::mutex> lock(mutex);
    seen.push_back(Seen{message, wparam, std::this_thread::get_id()});
    changed.notify_all();
  }
  std::vector<uint32_t> Messages(std::initializer_list<uint32_t> of_interest) {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<uint32_t> out;
    for (const Seen& s : seen) {
      for (uint32_t m : of_interest) {
        if (s.message == m) out.push_back(m);
      }
    }
    return out;
  }
};
Recorder* g_recorder = nullptr;

MessageResult PLATFORM_WINAPI Procedure(WindowHandle window, uint32_t message, MessageWParam wparam,
                                        MessageLParam lparam) {
  platform::Windows& windows = platform::CurrentWindows();
  if (g_recorder != nullptr) g_recorder->Add(message, wparam);
  if (message == kAsk) return static_cast<MessageResult>(wparam) * 2;
  if (message == kRelay) {
    return windows.SendWindowMessage(reinterpret_cast<WindowHandle>(lparam), kAsk, wparam, 0) + 1;
  }
  if (message == platform::kWmDestroy && g_recorder != nullptr && g_recorder->on_destroy) {
    g_recorder->on_destroy(window);
  }
  return windows.DefaultProcedure(window, message, wparam, lparam);
}

class WindowingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_recorder = &recorder_;
    platform::WindowClass window_class;
    window_class.name = kClass;
    window_class.procedure = &Procedure;
    windows_.RegisterWindowClass(window_class);  // once per process; later calls fail
    thread_.Run([this] {
      window_ = windows_.CreateTopLevelWindow(kClass, L"seam", platform::kWsOverlappedWindow);
    });
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    thread_.Run([this] {
      if (windows_.IsLiveWindow(window_)) windows_.DestroyWindow(window_);
    });
    thread_.Stop();
    g_recorder = nullptr;
  }

  platform::Windows& windows_ = platform::CurrentWindows();
  Recorder recorder_;
  host::WindowThread thread_;
  WindowHandle window_ = nullptr;
};

TEST_F(WindowingTest, SendFromAnotherThreadRunsOnTheOwnersThreadAndWaitsForTheAnswer) {
  EXPECT_EQ(windows_.SendWindowMessage(window_, kAsk, 21, 0), 42);
  std::lock_guard<std::mutex> lock(recorder_.mutex);
  ASSERT_FALSE(recorder_.seen.empty());
  EXPECT_EQ(recorder_.seen.back().message, kAsk);
  EXPECT_EQ(recorder_.seen.back().thread, thread_.id());
}

// "If the specified window was created by a different thread, the system switches to that
// thread ... the sending thread is blocked until the receiving thread processes the message.
// However, the sending thread will process incoming nonqueued messages while waiting for its
// message to be processed" (SendMessage, Microsoft Learn).
TEST_F(WindowingTest, ASendWaitingForAnswerHandlesTheSendsThatComeBackToItsThread) {
  const WindowHandle asker = windows_.CreateTopLevelWindow(kClass, L"asker", 0);
  ASSERT_NE(asker, nullptr);
  EXPECT_EQ(windows_.SendWindowMessage(window_, kRelay, 5, reinterpret_cast<MessageLParam>(asker)),
            11);
  {
    std::lock_guard<std::mutex> lock(recorder_.mutex);
    std::vector<std::thread::id> threads;
    for (const Seen& seen : recorder_.seen) {
      if (seen.message == kRelay || seen.message == kAsk) threads.push_back(seen.thread);
    }
    EXPECT_EQ(threads, (std::vector<std::thread::id>{thread_.id(), std::this_thread::get_id()}));
  }
  windows_.DestroyWindow(asker);
}

TEST_F(WindowingTest, DefaultCloseDestroysTheWindowAndDestroyFollows) {
  windows_.SendWindowMessage(window_, platform::kWmClose, 0, 0);
  EXPECT_FALSE(windows_.IsLiveWindow(window_));
  EXPECT_EQ(recorder_.Messages({platform::kWmClose, platform::kWmDestroy}),
            (std::vector<uint32_t>{platform::kWmClose, platform::kWmDestroy}));
  EXPECT_EQ(windows_.SendWindowMessage(window_, kAsk, 1, 0), 0);
}

TEST_F(WindowingTest, PostedMessagesWaitForTheLoopAndKeepTheirOrder) {
  ASSERT_TRUE(windows_.PostWindowMessage(window_, kAsk, 1, 0));
  ASSERT_TRUE(windows_.PostWindowMessage(window_, kAsk, 2, 0));
  thread_.Run([] {});  // queued behind the two
  std::lock_guard<std::mutex> lock(recorder_.mutex);
  std::vector<MessageWParam> order;
  for (const Seen& s : recorder_.seen) {
    if (s.message == kAsk) order.push_back(s.wparam);
  }
  EXPECT_EQ(order, (std::vector<MessageWParam>{1, 2}));
}

// Microsoft's DestroyWindow documentation: the function "sends WM_DESTROY and WM_NCDESTROY
// messages to the window"; IsWindow "determines whether the specified window handle identifies
// an existing window". The handle stays valid until the last of those messages has been handled,
// so IsWindow is true inside WM_DESTROY and false once DestroyWindow has returned.
TEST_F(WindowingTest, WindowIsLiveInsideItsDestroyAndGoneAfter) {
  bool live_inside = false;
  recorder_.on_destroy = [&](WindowHandle window) { live_inside = windows_.IsLiveWindow(window); };
  thread_.Run([this] { EXPECT_TRUE(windows_.DestroyWindow(window_)); });
  EXPECT_TRUE(live_inside);
  EXPECT_FALSE(windows_.IsLiveWindow(window_));
}

// SendNotifyMessageW to another thread's window returns at once; the message is handled with the
// thread's sent messages, ahead of what was posted before it.
TEST_F(WindowingTest, NotifyReturnsAtOnceAndGoesAheadOfPostedMessages) {
  std::mutex mutex;
  std::condition_variable released;
  bool go = false;
  thread_.Post([&] {  // keeps the window thread busy while both are queued
    std::unique_lock<std::mutex> lock(mutex);
    released.wait(lock, [&] { return go; });
  });
  ASSERT_TRUE(windows_.PostWindowMessage(window_, kAsk, 1, 0));
  ASSERT_TRUE(windows_.SendNotifyWindowMessage(window_, kAsk, 2, 0));
  {
    std::lock_guard<std::mutex> lock(mutex);
    go = true;
  }
  released.notify_all();
  thread_.Run([] {});
  std::lock_guard<std::mutex> lock(recorder_.mutex);
  std::vector<MessageWParam> order;
  for (const Seen& s : recorder_.seen) {
    if (s.message == kAsk) order.push_back(s.wparam);
  }
  EXPECT_EQ(order, (std::vector<MessageWParam>{2, 1}));
}

// UnregisterClassW fails while a window of the class exists; GetClassInfoW names the procedure.
TEST_F(WindowingTest, AClassWithWindowsStaysRegistered) {
  EXPECT_EQ(windows_.RegisteredClassProcedure(kClass), &Procedure);
  EXPECT_FALSE(windows_.UnregisterWindowClass(kClass));
  EXPECT_EQ(windows_.RegisteredClassProcedure(L"KuvoSeamNoSuchClass"), nullptr);
}

TEST_F(WindowingTest, MinimiseAndRestoreReportTheirSizeRequests) {
  thread_.Run([this] { windows_.ShowWindow(window_, platform::kSwShowNormal); });
  {
    std::lock_guard<std::mutex> lock(recorder_.mutex);
    recorder_.seen.clear();
  }
  thread_.Run([this] { windows_.ShowWindow(window_, platform::kSwMinimize); });
  platform::WindowRect minimized;
  ASSERT_TRUE(windows_.GetClientRect(window_, &minimized));
  thread_.Run([this] { windows_.ShowWindow(window_, platform::kSwRestore); });
  platform::WindowRect restored;
  ASSERT_TRUE(windows_.GetClientRect(window_, &restored));
  std::vector<MessageWParam> sizes;
  {
    std::lock_guard<std::mutex> lock(recorder_.mutex);
    for (const Seen& s : recorder_.seen) {
      if (s.message == platform::kWmSize) sizes.push_back(s.wparam);
    }
  }
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.front(), platform::kSizeMinimized);
  EXPECT_EQ(sizes.back(), platform::kSizeRestored);
  EXPECT_EQ(minimized.right - minimized.left, 0);
  EXPECT_GT(restored.right - restored.left, 0);
  EXPECT_GT(restored.bottom - restored.top, 0);
}

TEST_F(WindowingTest, MessageBoxesAreAnsweredInTurnAndRecorded) {
  std::vector<int> results;
  std::vector<platform::ShownMessageBox> shown;
  thread_.Run([&] {
    platform::ScopedMessageBoxAnswers answers({platform::kIdNo, platform::kIdYes});
    results.push_back(
        windows_.ShowMessageBox(nullptr, L"\u662f\u5426?", L"\u7ed3\u675f", platform::kMbYesNo));
    results.push_back(windows_.ShowMessageBox(nullptr, L"second", L"box", platform::kMbYesNo));
    shown = answers.shown();
  });
  EXPECT_EQ(results, (std::vector<int>{platform::kIdNo, platform::kIdYes}));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, L"\u662f\u5426?");
  EXPECT_EQ(shown[0].caption, L"\u7ed3\u675f");
  EXPECT_TRUE(shown[0].yes_no);
  EXPECT_FALSE(shown[0].has_owner);
}

TEST_F(WindowingTest, ANewerAnswerSetReplacesAnOlderOneThatGoesFirst) {
  int result = 0;
  thread_.Run([&] {
    auto older = std::make_unique<platform::ScopedMessageBoxAnswers>(std::vector<int>{});
    platform::ScopedMessageBoxAnswers newer({platform::kIdYes});
    older.reset();
    result = windows_.ShowMessageBox(nullptr, L"t", L"c", platform::kMbYesNo);
  });
  EXPECT_EQ(result, platform::kIdYes);
}

TEST_F(WindowingTest, TitleAndIconsAreKeptByTheWindow) {
  EXPECT_EQ(windows_.GetWindowTitle(window_), L"seam");
  EXPECT_EQ(windows_.SendWindowMessage(window_, platform::kWmGetIcon, platform::kIconBig, 0), 0);
}

}  // namespace
