// The synthetic remote desktop on Windows: a child window filling the session window, painting
// eight colour bars, a grid, the peer's address and the desktop size.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sl_desktop.h"

namespace sl {

namespace {

constexpr wchar_t kViewClass[] = L"SLStandinDesktopView";
constexpr UINT kSetPeer = WM_APP + 0x31;

struct ViewState {
  std::wstring peer;
  int width = 0;
  int height = 0;
};

void Paint(HWND view, HDC dc) {
  auto* state = reinterpret_cast<ViewState*>(::GetWindowLongPtrW(view, GWLP_USERDATA));
  RECT client{};
  ::GetClientRect(view, &client);
  const COLORREF bars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                           RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(16, 16, 16)};
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  for (int i = 0; i < 8; ++i) {
    RECT bar{client.left + width * i / 8, client.top, client.left + width * (i + 1) / 8,
             client.top + height * 2 / 3};
    HBRUSH brush = ::CreateSolidBrush(bars[i]);
    ::FillRect(dc, &bar, brush);
    ::DeleteObject(brush);
  }
  RECT lower{client.left, client.top + height * 2 / 3, client.right, client.bottom};
  HBRUSH dark = ::CreateSolidBrush(RGB(24, 40, 72));
  ::FillRect(dc, &lower, dark);
  ::DeleteObject(dark);
  HPEN grid = ::CreatePen(PS_SOLID, 1, RGB(60, 90, 140));
  HGDIOBJ old_pen = ::SelectObject(dc, grid);
  for (LONG x = 0; x < width; x += 32) {
    ::MoveToEx(dc, x, lower.top, nullptr);
    ::LineTo(dc, x, lower.bottom);
  }
  ::SelectObject(dc, old_pen);
  ::DeleteObject(grid);
  if (state != nullptr) {
    wchar_t text[256];
    std::swprintf(text, 256, L"remote desktop %ls  %d x %d", state->peer.c_str(), state->width,
                  state->height);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::DrawTextW(dc, text, -1, &lower, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

LRESULT CALLBACK ViewProcedure(HWND view, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(view, &paint);
      Paint(view, dc);
      ::EndPaint(view, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(view, reinterpret_cast<HDC>(wparam));
      return 0;
    case kSetPeer: {
      auto* peer = reinterpret_cast<std::wstring*>(lparam);
      if (auto* state = reinterpret_cast<ViewState*>(::GetWindowLongPtrW(view, GWLP_USERDATA))) {
        state->peer = *peer;
      }
      delete peer;
      ::InvalidateRect(view, nullptr, TRUE);
      return 0;
    }
    case WM_NCDESTROY:
      delete reinterpret_cast<ViewState*>(::GetWindowLongPtrW(view, GWLP_USERDATA));
      ::SetWindowLongPtrW(view, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(view, message, wparam, lparam);
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

}  // namespace

uintptr_t AttachDesktopView(uintptr_t window, int desktop_width, int desktop_height) {
  HWND parent = reinterpret_cast<HWND>(window);
  if (!::IsWindow(parent)) return 0;
  WNDCLASSW view_class{};
  view_class.lpfnWndProc = ViewProcedure;
  view_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  view_class.lpszClassName = kViewClass;
  ::RegisterClassW(&view_class);  // fails once registered: fine
  RECT client{};
  ::GetClientRect(parent, &client);
  HWND view = ::CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                                client.bottom, parent, nullptr, nullptr, nullptr);
  if (view == nullptr) return 0;
  auto* state = new ViewState;
  state->width = desktop_width;
  state->height = desktop_height;
  ::SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return reinterpret_cast<uintptr_t>(view);
}

void ShowPeerInDesktopView(uintptr_t view, const std::string& address) {
  if (view == 0) return;
  auto* peer = new std::wstring(Wide(address));
  if (!::PostMessageW(reinterpret_cast<HWND>(view), kSetPeer, 0, reinterpret_cast<LPARAM>(peer))) {
    delete peer;
  }
}

void MoveDesktopView(uintptr_t view, int x, int y, int width, int height) {
  if (view == 0) return;
  ::SetWindowPos(reinterpret_cast<HWND>(view), nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void DetachDesktopView(uintptr_t view) {
  if (view != 0) ::PostMessageW(reinterpret_cast<HWND>(view), WM_CLOSE, 0, 0);
}

}  // namespace sl
