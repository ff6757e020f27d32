// Windows and message boxes: class registration, top-level windows, messages sent and posted
// across threads, the message loop, default processing, icons of the main executable and
// MessageBoxW, in Windows' calling shape.
//
// On Windows these are the system's calls. Elsewhere they are an emulation shared by the whole
// process (the platform library is one shared library there): every thread gets its own message
// queue the first time it needs one, a window belongs to the thread that created it, a message
// sent to another thread's window waits until that thread's loop (or any wait of that thread that
// dispatches sent messages) has handled it, and a window whose thread ends is gone with it.
// Message boxes answer what a test scripted (platform/testing/message_box_answers.h); icons of
// the main executable and the fallible calls are scripted through platform/testing/.
//
// Components reach the service through CurrentWindows() (platform/system.h), so that tests can
// put a fake in its place.
#pragma once

#include <cstdint>
#include <string>

#if defined(_WIN32)
#define PLATFORM_WINAPI __stdcall
#else
#define PLATFORM_WINAPI
#endif

namespace platform {

struct WindowObject;
using WindowHandle = WindowObject*;  // HWND
struct IconObject;
using IconHandle = IconObject*;  // HICON

using MessageResult = intptr_t;   // LRESULT
using MessageWParam = uintptr_t;  // WPARAM
using MessageLParam = intptr_t;   // LPARAM

// WNDPROC: called on the window's own thread.
using WindowProcedure = MessageResult(PLATFORM_WINAPI*)(WindowHandle window, uint32_t message,
                                                        MessageWParam wparam, MessageLParam lparam);

// Messages.
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmGetIcon = 0x007F;
constexpr uint32_t kWmSetIcon = 0x0080;
constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmApp = 0x8000;

// WM_SIZE request types, WM_SETICON kinds.
constexpr MessageWParam kSizeRestored = 0;
constexpr MessageWParam kSizeMinimized = 1;
constexpr MessageWParam kIconSmall = 0;
constexpr MessageWParam kIconBig = 1;

// ShowWindow commands.
constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwMinimize = 6;
constexpr int kSwRestore = 9;

// Window styles.
constexpr uint32_t kWsOverlappedWindow = 0x00CF0000;

// MessageBoxW types and answers.
constexpr uint32_t kMbYesNo = 0x00000004;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// RegisterClassW: no extra class or window bytes, null module instance, no class icon, no menu.
struct WindowClass {
  const wchar_t* name = nullptr;
  WindowProcedure procedure = nullptr;
  uint32_t style = 0;
  bool arrow_cursor = true;      // the standard arrow cursor
  bool white_background = true;  // the white stock brush
};

struct WindowMessage {  // MSG
  WindowHandle window = nullptr;
  uint32_t message = 0;
  MessageWParam wparam = 0;
  MessageLParam lparam = 0;
};

struct WindowRect {  // RECT
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

class Windows {
 public:
  // RegisterClassW. False when the class could not be registered (it exists already, say).
  virtual bool RegisterWindowClass(const WindowClass& window_class) = 0;
  // UnregisterClassW for a class of the main executable's instance (where a null module
  // instance registers). False when there is none or a window of the class still exists.
  virtual bool UnregisterWindowClass(const wchar_t* class_name) = 0;
  // GetClassInfoW: the window procedure of a registered class; null when none is registered.
  virtual WindowProcedure RegisteredClassProcedure(const wchar_t* class_name) = 0;
  // CreateWindowExW with extended style 0, the system's default position and size, no parent,
  // no menu, null module instance. Null on failure. The window belongs to the calling thread.
  virtual WindowHandle CreateTopLevelWindow(const wchar_t* class_name, const wchar_t* title,
                                            uint32_t style) = 0;
  // DestroyWindow: only the window's own thread may destroy it (WM_DESTROY is sent first).
  virtual bool DestroyWindow(WindowHandle window) = 0;
  // IsWindow: true until the window is gone, WM_DESTROY included (a window is valid until
  // DestroyWindow has sent its last message).
  virtual bool IsLiveWindow(WindowHandle window) = 0;
  // ShowWindow; the answer is whether the window was visible before.
  virtual bool ShowWindow(WindowHandle window, int command) = 0;
  // InvalidateRect of the whole window with erasing, then UpdateWindow.
  virtual bool RepaintWindow(WindowHandle window) = 0;
  // GetClientRect.
  virtual bool GetClientRect(WindowHandle window, WindowRect* rect) = 0;
  // GetWindowTextW.
  virtual std::wstring GetWindowTitle(WindowHandle window) = 0;

  // SendMessageW: on the window's thread the procedure runs at once; from another thread the
  // call waits until the window's thread has handled the message (dispatching messages sent to
  // the calling thread meanwhile). 0 when the window is gone.
  virtual MessageResult SendWindowMessage(WindowHandle window, uint32_t message,
                                          MessageWParam wparam, MessageLParam lparam) = 0;
  // SendNotifyMessageW: on the window's thread the procedure runs at once; for another thread's
  // window the message is queued with the messages sent to that thread (handled before posted
  // ones, also in waits that dispatch sent messages) and the call returns without waiting.
  virtual bool SendNotifyWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                                       MessageLParam lparam) = 0;
  // PostMessageW: queued for the window's thread.
  virtual bool PostWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                                 MessageLParam lparam) = 0;
  // GetMessageW for any window of the calling thread: dispatches sent messages while waiting;
  // 1 for a posted message, 0 for WM_QUIT, -1 on error.
  virtual int GetThreadMessage(WindowMessage* message) = 0;
  // TranslateMessage then DispatchMessageW.
  virtual MessageResult DispatchThreadMessage(const WindowMessage& message) = 0;
  // PostQuitMessage for the calling thread.
  virtual void PostQuit(int exit_code) = 0;
  // DefWindowProcW: WM_CLOSE destroys the window (WM_DESTROY follows); WM_SETICON / WM_GETICON
  // keep and answer the window's icons.
  virtual MessageResult DefaultProcedure(WindowHandle window, uint32_t message,
                                         MessageWParam wparam, MessageLParam lparam) = 0;
  // InSendMessage: true while the calling thread handles a message sent from another thread.
  virtual bool InSentMessage() = 0;
  // Waits until `done(context)` is true, handling meanwhile the messages other threads send to
  // the calling thread, as SendMessageW's own wait does (posted messages stay queued). `done`
  // is asked after each such message and at least every `recheck_ms` milliseconds.
  virtual void WaitHandlingSentMessages(bool (*done)(void* context), void* context,
                                        uint32_t recheck_ms) = 0;

  // LoadImageW of icon `id` from the main executable's module (GetModuleHandleW(null)) at the
  // big or small icon size. Null when it has no such icon. The caller destroys it.
  virtual IconHandle LoadMainExecutableIcon(uint32_t id, bool big) = 0;
  // DestroyIcon.
  virtual bool DestroyIcon(IconHandle icon) = 0;
  // MessageBoxW.
  virtual int ShowMessageBox(WindowHandle owner, const wchar_t* text, const wchar_t* caption,
                             uint32_t type) = 0;

 protected:
  ~Windows() = default;
};

// MAKELPARAM(low, high) for WM_SIZE and its reading.
constexpr MessageLParam MakeSizeLParam(uint32_t width, uint32_t height) {
  return static_cast<MessageLParam>((width & 0xFFFFu) | ((height & 0xFFFFu) << 16));
}

}  // namespace platform
