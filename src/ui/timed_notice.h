// A notice line inside a dialog: a static text shown with a message for a while and then
// hidden again by the dialog's timer 1.
#pragma once

#include <windows.h>

#include <string>

inline constexpr UINT_PTR kTimedNoticeTimerId = 1;

// Shows `text` in `notice` and (re)starts timer 1 of `dialog`; a notice already shown is
// replaced and gets the full new time.
void ShowTimedNotice(HWND dialog, HWND notice, const std::wstring& text, UINT milliseconds) noexcept;

// For the dialog's message handling: on WM_TIMER 1 hides `notice` and stops the timer.
// Other messages and other timer ids are not handled.
bool ProcessTimedNotice(HWND dialog, HWND notice, UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT& result) noexcept;
