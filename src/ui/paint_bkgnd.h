// Mix-in that paints a dialog's whole client area in one colour on WM_ERASEBKGND.
// T is the dialog class, Background the colour. The dialog calls
// ProcessPaintBkgnd from its ProcessWindowMessage among its own handlers.
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

// Fills the client area of `window` with `brush` through an off-screen bitmap, so the
// visible DC is written once (no flicker under the controls).
void PaintBackgroundOffscreen(HWND window, HDC dc, HBRUSH brush) noexcept;

template <class T, COLORREF Background>
class CPaintBkgnd {
 public:
  CPaintBkgnd() : brush_(::CreateSolidBrush(Background)) {}
  CPaintBkgnd(const CPaintBkgnd&) = delete;
  CPaintBkgnd& operator=(const CPaintBkgnd&) = delete;

  bool ProcessPaintBkgnd(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result) noexcept {
    if (message != WM_ERASEBKGND) return false;
    PaintBackgroundOffscreen(window, reinterpret_cast<HDC>(wParam), brush_.Get());
    result = 1;
    return true;
  }

 private:
  win::Brush brush_;  // lives as long as the dialog object
};
