// Lets the user drag a window without a title bar by any free point of its client area:
// a left-button press there is turned into a press on a title bar.
#pragma once

#include <windows.h>

inline bool ProcessClientDrag(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) noexcept {
  if (message != WM_LBUTTONDOWN) return false;
  ::SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  result = 0;
  return true;
}
