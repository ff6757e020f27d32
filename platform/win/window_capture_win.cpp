#include <windows.h>

#include <cstring>

#include "platform/testing/window_capture.h"

namespace platform {

bool CaptureWindowForTesting(WindowHandle window, std::vector<uint32_t>* pixels, int* width,
                             int* height) {
  HWND native = reinterpret_cast<HWND>(window);
  RECT client{};
  if (!::GetClientRect(native, &client) || client.right <= 0 || client.bottom <= 0) return false;
  ::RedrawWindow(native, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const int w = client.right;
  const int h = client.bottom;
  HDC source = ::GetDC(native);
  HDC memory = ::CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool captured = false;
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    captured = ::BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY) != 0;
    ::GdiFlush();
    if (captured) {
      pixels->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
      std::memcpy(pixels->data(), bits, pixels->size() * sizeof(uint32_t));
      for (uint32_t& pixel : *pixels) pixel |= 0xFF000000u;
      *width = w;
      *height = h;
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(native, source);
  return captured;
}

}  // namespace platform
