// Windows, message pumping and off-screen drawing for the skin and dialog tests.
#pragma once

#include <windows.h>

#include <string>

namespace ui_test {

// A plain top-level window (DefWindowProcW) for parents, owners and references.
inline HWND MakeWindow(DWORD style, int x, int y, int width, int height, HWND owner = nullptr) {
  static const ATOM kClass = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnUiTestWindow";
    return ::RegisterClassW(&wc);
  }();
  return ::CreateWindowExW(0, MAKEINTATOM(kClass), L"test", style, x, y, width, height, owner, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

inline std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  ::GetWindowTextW(window, buffer, 1024);
  return buffer;
}

inline RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// A memory DC with a 24-bit bitmap, for drawing into and reading pixels back.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    HDC screen = ::GetDC(nullptr);
    dc_ = ::CreateCompatibleDC(screen);
    bitmap_ = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(nullptr, screen);
    previous_ = ::SelectObject(dc_, bitmap_);
    RECT all{0, 0, width, height};
    ::FillRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  }
  ~Canvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  COLORREF Pixel(int x, int y) const { return ::GetPixel(dc_, x, y); }

  // Bounding box of the pixels inside `area` whose colour differs from `background`.
  RECT BoundsOfOtherThan(COLORREF background, const RECT& area) const {
    RECT box{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (Pixel(x, y) != background) {
          if (x < box.left) box.left = x;
          if (y < box.top) box.top = y;
          if (x + 1 > box.right) box.right = x + 1;
          if (y + 1 > box.bottom) box.bottom = y + 1;
        }
    return box;
  }

  int Count(COLORREF colour) const { return Count(colour, {0, 0, width_, height_}); }
  int Count(COLORREF colour, const RECT& area) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) n += Pixel(x, y) == colour;
    return n;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace ui_test
