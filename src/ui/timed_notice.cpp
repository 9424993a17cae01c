#include "ui/timed_notice.h"

void ShowTimedNotice(HWND dialog, HWND notice, const std::wstring& text, UINT milliseconds) noexcept {
  ::SetWindowTextW(notice, text.c_str());
  ::ShowWindow(notice, SW_SHOW);
  // Setting an existing timer id again restarts it with the new period.
  ::SetTimer(dialog, kTimedNoticeTimerId, milliseconds, nullptr);
}

bool ProcessTimedNotice(HWND dialog, HWND notice, UINT message, WPARAM wParam, LPARAM, LRESULT& result) noexcept {
  if (message != WM_TIMER || wParam != kTimedNoticeTimerId) return false;
  ::ShowWindow(notice, SW_HIDE);
  ::KillTimer(dialog, kTimedNoticeTimerId);
  result = 0;
  return true;
}
