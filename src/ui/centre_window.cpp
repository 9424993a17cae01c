#include "ui/centre_window.h"

POINT CentredPosition(SIZE windowSize, const RECT& target, const RECT& workArea) noexcept {
  LONG x = (target.left + target.right) / 2 - windowSize.cx / 2;
  LONG y = (target.top + target.bottom) / 2 - windowSize.cy / 2;
  if (x + windowSize.cx > workArea.right) x = workArea.right - windowSize.cx;
  if (y + windowSize.cy > workArea.bottom) y = workArea.bottom - windowSize.cy;
  if (x < workArea.left) x = workArea.left;
  if (y < workArea.top) y = workArea.top;
  return {x, y};
}

void CentreWindow(HWND window, HWND reference) noexcept {
  if (!reference) reference = ::GetWindow(window, GW_OWNER);
  const bool overReference = reference && ::IsWindowVisible(reference) && !::IsIconic(reference);

  HMONITOR monitor = ::MonitorFromWindow(overReference ? reference : window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!monitor || !::GetMonitorInfoW(monitor, &info)) return;

  RECT target = info.rcWork;
  if (overReference) ::GetWindowRect(reference, &target);
  RECT own{};
  ::GetWindowRect(window, &own);
  const SIZE size{own.right - own.left, own.bottom - own.top};
  const POINT at = CentredPosition(size, target, info.rcWork);
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
