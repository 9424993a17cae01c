// Sends the notifications a control raised back to that control, with 0x2000 added to the
// message number, so that a control class (the owner-drawn button) handles its own drawing.
#pragma once

#include <windows.h>

namespace win {

inline constexpr UINT kReflectedBase = 0x2000;  // WM_USER + 0x1C00

// Returns true (with the control's result) when the message came from a control.
bool ReflectNotifications(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

}  // namespace win
