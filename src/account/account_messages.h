// Private window messages of the account client.
#pragma once

#include <windows.h>

#include "win/window_messages.h"

// WM_ACCOUNTSTATE, to the main window. wParam: 0 not signed in, 1 signed in, 120 a newer
// version exists (all posted, lParam 0); 100 a notice, sent, lParam the UTF-16 text valid
// during the call.
inline constexpr WPARAM kAccountSignedOut = 0;
inline constexpr WPARAM kAccountSignedIn = 1;
inline constexpr WPARAM kAccountNotice = 100;
inline constexpr WPARAM kAccountNewVersion = 120;

// WM_LOGINRESULT, from the sign-in thread to the login dialog: wParam a result code -5..1
// (lParam a text or 0), then 9 when the thread has finished.
inline constexpr WPARAM kLoginFinished = 9;
