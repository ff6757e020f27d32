// The emulated windows of non-Windows builds.
//
// One lock guards all state. Every thread that touches windows gets a queue (posted messages,
// messages sent to it by other threads) with a condition it waits on; a thread that sends to
// another thread waits on its own condition, handling messages sent to itself meanwhile, as
// Windows does. A thread's windows go when the thread ends; senders waiting on them get 0.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault_hook.h"
#include "platform/testing/message_box_answers.h"
#include "platform/testing/window_emulation.h"
#include "platform/windowing.h"

namespace platform {

namespace {

// The client size of a window created with the default size.
constexpr int32_t kDefaultClientWidth = 1024;
constexpr int32_t kDefaultClientHeight = 768;
// Emulated icon handles: a base, then the id and the size in one number.
constexpr uintptr_t kIconBase = 0x7C000000u;
constexpr uintptr_t kIconSpan = 0x01000000u;

struct ThreadQueue;

struct SentMessage {
  WindowHandle window = nullptr;
  uint32_t message = 0;
  MessageWParam wparam = 0;
  MessageLParam lparam = 0;
  MessageResult result = 0;
  bool done = false;
  std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
  std::condition_variable wake;
  std::deque<WindowMessage> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<std::shared_ptr<SentMessage>>
      handling;  // sent messages being handled, innermost last
  bool quit = false;
  int quit_code = 0;
  bool ended = false;
};

struct WindowRecord {
  std::wstring class_name;
  WindowProcedure procedure = nullptr;
  std::wstring title;
  std::shared_ptr<ThreadQueue> owner;
  int32_t width = kDefaultClientWidth;
  int32_t height = kDefaultClientHeight;
  bool visible = false;
  bool minimized = false;
  bool destroying = false;
  IconHandle icons[2] = {nullptr, nullptr};
};

class Emulation {
 public:
  static Emulation& Get() {
    static Emulation* emulation = new Emulation;  // never destroyed: threads may outlive exit
    return *emulation;
  }

  std::mutex mutex;
  std::map<std::wstring, WindowProcedure> classes;
  std::map<uintptr_t, WindowRecord> windows;
  uintptr_t next_window = 0x10010;
  std::set<uint32_t> icons;
  std::map<uintptr_t, size_t> loaded_icons;  // handle -> loads not yet destroyed

  WindowRecord* Find(WindowHandle window) {
    const auto found = windows.find(reinterpret_cast<uintptr_t>(window));
    return found == windows.end() || found->second.destroying ? nullptr : &found->second;
  }
  // The record even while it is being destroyed (WM_DESTROY still reaches the procedure).
  WindowRecord* FindAny(WindowHandle window) {
    const auto found = windows.find(reinterpret_cast<uintptr_t>(window));
    return found == windows.end() ? nullptr : &found->second;
  }

  void Complete(const std::shared_ptr<SentMessage>& sent, MessageResult result) {
    if (sent->done) return;
    sent->result = result;
    sent->done = true;
    if (sent->sender) sent->sender->wake.notify_all();
  }

  // The calling thread ends: its windows go, messages sent to them or to it are answered 0.
  void EndThread(const std::shared_ptr<ThreadQueue>& queue) {
    std::lock_guard<std::mutex> lock(mutex);
    queue->ended = true;
    for (auto it = windows.begin(); it != windows.end();) {
      if (it->second.owner == queue) {
        it = windows.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& sent : queue->sent) Complete(sent, 0);
    queue->sent.clear();
    for (auto& sent : queue->handling) Complete(sent, 0);
    queue->handling.clear();
  }

 private:
  Emulation() = default;
};

class QueueHolder {
 public:
  QueueHolder() : queue_(std::make_shared<ThreadQueue>()) {}
  ~QueueHolder() { Emulation::Get().EndThread(queue_); }
  const std::shared_ptr<ThreadQueue>& queue() const { return queue_; }

 private:
  std::shared_ptr<ThreadQueue> queue_;
};

const std::shared_ptr<ThreadQueue>& ThisThreadQueue() {
  thread_local QueueHolder holder;
  return holder.queue();
}

// Handles one message sent to the calling thread; the lock is held on entry and on return.
void HandleSent(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ThreadQueue>& queue) {
  Emulation& emulation = Emulation::Get();
  std::shared_ptr<SentMessage> sent = queue->sent.front();
  queue->sent.pop_front();
  WindowRecord* record = emulation.FindAny(sent->window);
  if (record == nullptr || record->owner != queue) {
    emulation.Complete(sent, 0);
    return;
  }
  const WindowProcedure procedure = record->procedure;
  queue->handling.push_back(sent);
  lock.unlock();
  const MessageResult result = procedure(sent->window, sent->message, sent->wparam, sent->lparam);
  lock.lock();
  queue->handling.pop_back();
  emulation.Complete(sent, result);
}

class EmulatedWindows final : public Windows {
 public:
  bool RegisterWindowClass(const WindowClass& window_class) override {
    if (FallibleCallFails("RegisterClassW")) return false;
    if (window_class.name == nullptr || window_class.procedure == nullptr) return false;
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    return emulation.classes.emplace(window_class.name, window_class.procedure).second;
  }

  bool UnregisterWindowClass(const wchar_t* class_name) override {
    if (class_name == nullptr) return false;
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    const auto found = emulation.classes.find(class_name);
    if (found == emulation.classes.end()) return false;
    for (const auto& window : emulation.windows) {
      if (window.second.class_name == class_name) return false;  // the class has windows
    }
    emulation.classes.erase(found);
    return true;
  }

  WindowProcedure RegisteredClassProcedure(const wchar_t* class_name) override {
    return ClassProcedureForTesting(class_name);
  }

  WindowHandle CreateTopLevelWindow(const wchar_t* class_name, const wchar_t* title,
                                    uint32_t) override {
    if (FallibleCallFails("CreateWindowExW")) return nullptr;
    if (class_name == nullptr) return nullptr;
    Emulation& emulation = Emulation::Get();
    WindowHandle handle = nullptr;
    {
      std::lock_guard<std::mutex> lock(emulation.mutex);
      const auto found = emulation.classes.find(class_name);
      if (found == emulation.classes.end()) return nullptr;
      WindowRecord record;
      record.class_name = class_name;
      record.procedure = found->second;
      record.title = title != nullptr ? title : L"";
      record.owner = ThisThreadQueue();
      const uintptr_t id = emulation.next_window;
      emulation.next_window += 4;
      emulation.windows.emplace(id, record);
      handle = reinterpret_cast<WindowHandle>(id);
    }
    // A new window learns its size as on Windows.
    SendWindowMessage(handle, kWmSize, kSizeRestored,
                      MakeSizeLParam(kDefaultClientWidth, kDefaultClientHeight));
    return handle;
  }

  bool DestroyWindow(WindowHandle window) override {
    Emulation& emulation = Emulation::Get();
    WindowProcedure procedure = nullptr;
    {
      std::lock_guard<std::mutex> lock(emulation.mutex);
      WindowRecord* record = emulation.Find(window);
      if (record == nullptr || record->owner != ThisThreadQueue()) return false;
      record->destroying = true;
      procedure = record->procedure;
    }
    procedure(window, kWmDestroy, 0, 0);
    std::lock_guard<std::mutex> lock(emulation.mutex);
    emulation.windows.erase(reinterpret_cast<uintptr_t>(window));
    return true;
  }

  bool IsLiveWindow(WindowHandle window) override {
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    return emulation.FindAny(window) != nullptr;  // inside WM_DESTROY too, as IsWindow
  }

  bool ShowWindow(WindowHandle window, int command) override {
    Emulation& emulation = Emulation::Get();
    bool was_visible = false;
    bool size_changed = false;
    bool minimized = false;
    int32_t width = 0;
    int32_t height = 0;
    {
      std::lock_guard<std::mutex> lock(emulation.mutex);
      WindowRecord* record = emulation.Find(window);
      if (record == nullptr) return false;
      was_visible = record->visible;
      record->visible = command != kSwHide;
      if (command != kSwHide) {
        const bool minimize = command == kSwMinimize || command == 2 || command == 7;
        size_changed = minimize != record->minimized;
        record->minimized = minimize;
      }
      minimized = record->minimized;
      width = record->width;
      height = record->height;
    }
    if (size_changed) {
      SendWindowMessage(
          window, kWmSize, minimized ? kSizeMinimized : kSizeRestored,
          minimized ? 0
                    : MakeSizeLParam(static_cast<uint32_t>(width), static_cast<uint32_t>(height)));
    }
    return was_visible;
  }

  bool RepaintWindow(WindowHandle window) override {
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.Find(window);
    return record != nullptr;
  }

  bool GetClientRect(WindowHandle window, WindowRect* rect) override {
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.Find(window);
    if (record == nullptr || rect == nullptr) return false;
    *rect = WindowRect{};
    if (!record->minimized) {
      rect->right = record->width;
      rect->bottom = record->height;
    }
    return true;
  }

  std::wstring GetWindowTitle(WindowHandle window) override {
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.Find(window);
    return record != nullptr ? record->title : std::wstring();
  }

  MessageResult SendWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                                  MessageLParam lparam) override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::unique_lock<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.FindAny(window);
    if (record == nullptr) return 0;
    if (record->owner == self) {
      const WindowProcedure procedure = record->procedure;
      lock.unlock();
      return procedure(window, message, wparam, lparam);
    }
    if (record->destroying || record->owner->ended) return 0;
    auto sent = std::make_shared<SentMessage>();
    sent->window = window;
    sent->message = message;
    sent->wparam = wparam;
    sent->lparam = lparam;
    sent->sender = self;
    record->owner->sent.push_back(sent);
    record->owner->wake.notify_all();
    while (!sent->done) {
      if (!self->sent.empty()) {
        HandleSent(lock, self);
        continue;
      }
      self->wake.wait(lock);
    }
    return sent->result;
  }

  bool SendNotifyWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                               MessageLParam lparam) override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::unique_lock<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.FindAny(window);
    if (record == nullptr) return false;
    if (record->owner == self) {
      const WindowProcedure procedure = record->procedure;
      lock.unlock();
      procedure(window, message, wparam, lparam);
      return true;
    }
    if (record->owner->ended) return false;
    auto sent = std::make_shared<SentMessage>();  // no sender waits for it
    sent->window = window;
    sent->message = message;
    sent->wparam = wparam;
    sent->lparam = lparam;
    record->owner->sent.push_back(sent);
    record->owner->wake.notify_all();
    return true;
  }

  bool PostWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                         MessageLParam lparam) override {
    if (FallibleCallFails("PostMessageW")) return false;
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    WindowRecord* record = emulation.Find(window);
    if (record == nullptr) return false;
    record->owner->posted.push_back(WindowMessage{window, message, wparam, lparam});
    record->owner->wake.notify_all();
    return true;
  }

  int GetThreadMessage(WindowMessage* message) override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::unique_lock<std::mutex> lock(emulation.mutex);
    for (;;) {
      if (!self->sent.empty()) {
        HandleSent(lock, self);
        continue;
      }
      if (!self->posted.empty()) {
        *message = self->posted.front();
        self->posted.pop_front();
        return 1;
      }
      if (self->quit) {
        self->quit = false;
        *message = WindowMessage{nullptr, kWmQuit, static_cast<MessageWParam>(self->quit_code), 0};
        return 0;
      }
      self->wake.wait(lock);
    }
  }

  MessageResult DispatchThreadMessage(const WindowMessage& message) override {
    Emulation& emulation = Emulation::Get();
    WindowProcedure procedure = nullptr;
    {
      std::lock_guard<std::mutex> lock(emulation.mutex);
      WindowRecord* record = emulation.Find(message.window);
      if (record == nullptr || record->owner != ThisThreadQueue()) return 0;
      procedure = record->procedure;
    }
    return procedure(message.window, message.message, message.wparam, message.lparam);
  }

  void PostQuit(int exit_code) override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    self->quit = true;
    self->quit_code = exit_code;
    self->wake.notify_all();
  }

  MessageResult DefaultProcedure(WindowHandle window, uint32_t message, MessageWParam wparam,
                                 MessageLParam lparam) override {
    if (message == kWmClose) {
      DestroyWindow(window);
      return 0;
    }
    if (message == kWmSetIcon || message == kWmGetIcon) {
      Emulation& emulation = Emulation::Get();
      std::lock_guard<std::mutex> lock(emulation.mutex);
      WindowRecord* record = emulation.FindAny(window);
      if (record == nullptr) return 0;
      IconHandle& slot = record->icons[wparam == kIconBig ? 1 : 0];
      const IconHandle previous = slot;
      if (message == kWmSetIcon) slot = reinterpret_cast<IconHandle>(lparam);
      return reinterpret_cast<MessageResult>(previous);
    }
    return 0;
  }

  bool InSentMessage() override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    return !self->handling.empty();
  }

  void WaitHandlingSentMessages(bool (*done)(void*), void* context, uint32_t recheck_ms) override {
    Emulation& emulation = Emulation::Get();
    const std::shared_ptr<ThreadQueue>& self = ThisThreadQueue();
    std::unique_lock<std::mutex> lock(emulation.mutex);
    for (;;) {
      lock.unlock();
      if (done(context)) return;
      lock.lock();
      if (!self->sent.empty()) {
        HandleSent(lock, self);
        continue;
      }
      self->wake.wait_for(lock, std::chrono::milliseconds(recheck_ms));
    }
  }

  IconHandle LoadMainExecutableIcon(uint32_t id, bool big) override {
    if (FallibleCallFails("LoadImageW")) return nullptr;
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    if (emulation.icons.count(id) == 0) return nullptr;
    if (id >= kIconSpan / 2) return nullptr;
    const uintptr_t handle = kIconBase + static_cast<uintptr_t>(id) * 2 + (big ? 1u : 0u);
    ++emulation.loaded_icons[handle];
    return reinterpret_cast<IconHandle>(handle);
  }

  bool DestroyIcon(IconHandle icon) override {
    Emulation& emulation = Emulation::Get();
    std::lock_guard<std::mutex> lock(emulation.mutex);
    const auto found = emulation.loaded_icons.find(reinterpret_cast<uintptr_t>(icon));
    if (found == emulation.loaded_icons.end()) return false;
    if (--found->second == 0) emulation.loaded_icons.erase(found);
    return true;
  }

  int ShowMessageBox(WindowHandle owner, const wchar_t* text, const wchar_t* caption,
                     uint32_t type) override {
    if (FallibleCallFails("MessageBoxW")) return 0;
    ScopedMessageBoxAnswers* answers = ScopedMessageBoxAnswers::ForThisThread();
    if (answers == nullptr) return 0;
    ShownMessageBox box;
    box.text = text != nullptr ? text : L"";
    box.caption = caption != nullptr ? caption : L"";
    box.yes_no = (type & 0xF) == kMbYesNo;
    box.has_owner = owner != nullptr;
    return answers->Answer(box);
  }
};

}  // namespace

Windows& EmulatedSystemWindows() {
  static EmulatedWindows* windows = new EmulatedWindows;  // lives as long as the process
  return *windows;
}

void SetMainExecutableIconsForTesting(const std::vector<uint32_t>& ids) {
  Emulation& emulation = Emulation::Get();
  std::lock_guard<std::mutex> lock(emulation.mutex);
  emulation.icons = std::set<uint32_t>(ids.begin(), ids.end());
}

bool DescribeIconForTesting(IconHandle icon, uint32_t* id, bool* big) {
  const auto value = reinterpret_cast<uintptr_t>(icon);
  if (value < kIconBase || value >= kIconBase + kIconSpan) return false;
  *id = static_cast<uint32_t>((value - kIconBase) / 2);
  *big = ((value - kIconBase) & 1) != 0;
  return true;
}

size_t LiveWindowCountForTesting() {
  Emulation& emulation = Emulation::Get();
  std::lock_guard<std::mutex> lock(emulation.mutex);
  return emulation.windows.size();
}

WindowProcedure ClassProcedureForTesting(const wchar_t* class_name) {
  Emulation& emulation = Emulation::Get();
  std::lock_guard<std::mutex> lock(emulation.mutex);
  const auto found = emulation.classes.find(class_name != nullptr ? class_name : L"");
  return found == emulation.classes.end() ? nullptr : found->second;
}

size_t LoadedIconCountForTesting() {
  Emulation& emulation = Emulation::Get();
  std::lock_guard<std::mutex> lock(emulation.mutex);
  size_t count = 0;
  for (const auto& icon : emulation.loaded_icons) count += icon.second;
  return count;
}

void UnregisterWindowClassesForTesting() {
  Emulation& emulation = Emulation::Get();
  std::lock_guard<std::mutex> lock(emulation.mutex);
  emulation.classes.clear();
}

}  // namespace platform
