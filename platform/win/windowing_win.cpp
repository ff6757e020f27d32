// The windows service over the Win32 calls: one call each.
#include <windows.h>

#include <string>

#include "platform/windowing.h"

namespace platform {

namespace {

HWND Native(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}

class Win32Windows final : public Windows {
 public:
  bool RegisterWindowClass(const WindowClass& window_class) override {
    WNDCLASSW native{};
    native.style = window_class.style;
    // WNDPROC and WindowProcedure have the same shape; only the handle type's name differs.
    native.lpfnWndProc =
        reinterpret_cast<WNDPROC>(reinterpret_cast<void (*)()>(window_class.procedure));
    native.hCursor = window_class.arrow_cursor ? ::LoadCursorW(nullptr, IDC_ARROW) : nullptr;
    native.hbrBackground = window_class.white_background
                               ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))
                               : nullptr;
    native.lpszClassName = window_class.name;
    return ::RegisterClassW(&native) != 0;
  }
  bool UnregisterWindowClass(const wchar_t* class_name) override {
    return ::UnregisterClassW(class_name, ::GetModuleHandleW(nullptr));
  }
  WindowProcedure RegisteredClassProcedure(const wchar_t* class_name) override {
    WNDCLASSW native{};
    if (!::GetClassInfoW(::GetModuleHandleW(nullptr), class_name, &native)) return nullptr;
    return reinterpret_cast<WindowProcedure>(reinterpret_cast<void (*)()>(native.lpfnWndProc));
  }
  WindowHandle CreateTopLevelWindow(const wchar_t* class_name, const wchar_t* title,
                                    uint32_t style) override {
    return reinterpret_cast<WindowHandle>(
        ::CreateWindowExW(0, class_name, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr));
  }
  bool DestroyWindow(WindowHandle window) override { return ::DestroyWindow(Native(window)); }
  bool IsLiveWindow(WindowHandle window) override {
    return window != nullptr && ::IsWindow(Native(window));
  }
  bool ShowWindow(WindowHandle window, int command) override {
    return ::ShowWindow(Native(window), command);
  }
  bool RepaintWindow(WindowHandle window) override {
    return ::InvalidateRect(Native(window), nullptr, TRUE) && ::UpdateWindow(Native(window));
  }
  bool GetClientRect(WindowHandle window, WindowRect* rect) override {
    RECT native{};
    if (!::GetClientRect(Native(window), &native)) return false;
    rect->left = native.left;
    rect->top = native.top;
    rect->right = native.right;
    rect->bottom = native.bottom;
    return true;
  }
  std::wstring GetWindowTitle(WindowHandle window) override {
    const int length = ::GetWindowTextLengthW(Native(window));
    if (length <= 0) return std::wstring();
    std::wstring title(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(Native(window), &title[0], length + 1);
    title.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return title;
  }
  MessageResult SendWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                                  MessageLParam lparam) override {
    return ::SendMessageW(Native(window), message, wparam, lparam);
  }
  bool SendNotifyWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                               MessageLParam lparam) override {
    return ::SendNotifyMessageW(Native(window), message, wparam, lparam);
  }
  bool PostWindowMessage(WindowHandle window, uint32_t message, MessageWParam wparam,
                         MessageLParam lparam) override {
    return ::PostMessageW(Native(window), message, wparam, lparam);
  }
  int GetThreadMessage(WindowMessage* message) override {
    MSG native{};
    const BOOL result = ::GetMessageW(&native, nullptr, 0, 0);
    message->window = reinterpret_cast<WindowHandle>(native.hwnd);
    message->message = native.message;
    message->wparam = native.wParam;
    message->lparam = native.lParam;
    return result > 0 ? 1 : (result == 0 ? 0 : -1);
  }
  MessageResult DispatchThreadMessage(const WindowMessage& message) override {
    MSG native{};
    native.hwnd = Native(message.window);
    native.message = message.message;
    native.wParam = message.wparam;
    native.lParam = message.lparam;
    ::TranslateMessage(&native);
    return ::DispatchMessageW(&native);
  }
  void PostQuit(int exit_code) override { ::PostQuitMessage(exit_code); }
  MessageResult DefaultProcedure(WindowHandle window, uint32_t message, MessageWParam wparam,
                                 MessageLParam lparam) override {
    return ::DefWindowProcW(Native(window), message, wparam, lparam);
  }
  bool InSentMessage() override { return ::InSendMessage(); }
  void WaitHandlingSentMessages(bool (*done)(void*), void* context, uint32_t recheck_ms) override {
    while (!done(context)) {
      MSG ignored;
      // Handles every message sent to this thread; posted ones stay queued.
      ::PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      ::MsgWaitForMultipleObjectsEx(0, nullptr, recheck_ms, QS_SENDMESSAGE, 0);
    }
  }
  IconHandle LoadMainExecutableIcon(uint32_t id, bool big) override {
    const int size = ::GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
    return reinterpret_cast<IconHandle>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(id), IMAGE_ICON, size, size,
                                                     LR_DEFAULTCOLOR));
  }
  bool DestroyIcon(IconHandle icon) override {
    return ::DestroyIcon(reinterpret_cast<HICON>(icon));
  }
  int ShowMessageBox(WindowHandle owner, const wchar_t* text, const wchar_t* caption,
                     uint32_t type) override {
    return ::MessageBoxW(Native(owner), text, caption, type);
  }
};

}  // namespace

Windows& SystemWindows() {
  static Win32Windows windows;
  return windows;
}

}  // namespace platform
