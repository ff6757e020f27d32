// Answers real message boxes: a CBT hook on the thread sees each dialog activate, records its
// caption, text and buttons, and presses the scripted button.
#include <windows.h>

#include <string>

#include "platform/testing/message_box_answers.h"

namespace platform::internal {

namespace {

thread_local HWND t_answered = nullptr;

BOOL CALLBACK FindStaticText(HWND child, LPARAM lparam) {
  wchar_t class_name[16] = {};
  ::GetClassNameW(child, class_name, 16);
  if (lstrcmpiW(class_name, L"Static") != 0) return TRUE;
  wchar_t text[1024] = {};
  if (::GetWindowTextW(child, text, 1024) <= 0) return TRUE;
  *reinterpret_cast<std::wstring*>(lparam) = text;
  return FALSE;
}

LRESULT CALLBACK AnswerHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    const HWND dialog = reinterpret_cast<HWND>(wparam);
    wchar_t class_name[16] = {};
    ::GetClassNameW(dialog, class_name, 16);
    ScopedMessageBoxAnswers* answers = ScopedMessageBoxAnswers::ForThisThread();
    if (answers != nullptr && dialog != t_answered && lstrcmpW(class_name, L"#32770") == 0) {
      t_answered = dialog;
      ShownMessageBox box;
      wchar_t caption[512] = {};
      ::GetWindowTextW(dialog, caption, 512);
      box.caption = caption;
      ::EnumChildWindows(dialog, FindStaticText, reinterpret_cast<LPARAM>(&box.text));
      box.yes_no = ::GetDlgItem(dialog, IDYES) != nullptr && ::GetDlgItem(dialog, IDNO) != nullptr;
      box.has_owner = ::GetWindow(dialog, GW_OWNER) != nullptr;
      const int answer = answers->Answer(box);
      // No answer left: close the box as Escape would.
      const int button = answer != 0 ? answer : IDCANCEL;
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button)));
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

void* InstallMessageBoxAnswerHook() {
  return ::SetWindowsHookExW(WH_CBT, AnswerHook, nullptr, ::GetCurrentThreadId());
}

void RemoveMessageBoxAnswerHook(void* hook) {
  if (hook != nullptr) ::UnhookWindowsHookEx(static_cast<HHOOK>(hook));
}

}  // namespace platform::internal
