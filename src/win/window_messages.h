// Every private window message of the program, in one place so that no two can share a
// number by accident. What the parameters carry is described where the codes live
// (monitor/monitor_events.h, account/account_messages.h).
#pragma once

#include <windows.h>

// From a site-check worker to the main window: wParam the site's 1-based index, lParam
// the event code.
inline constexpr UINT WM_MONITOREVENT = WM_USER + 5;
// From the account threads and the sign-in dialog to the main window: the account's state.
inline constexpr UINT WM_ACCOUNTSTATE = WM_USER + 6;
// From the sign-in thread to the sign-in dialog: a result code.
inline constexpr UINT WM_LOGINRESULT = WM_USER + 7;
// The tray icon's callback message to the main window (1204).
inline constexpr UINT WM_TRAYICON = WM_USER + 180;

// Posted by the main window to itself: apply the latest requested tray tooltip.
inline constexpr UINT WM_APPLYTRAYTIP = WM_APP + 1;
// Posted by a dialog to itself at a DPI change, so that its handler runs after the dialog
// manager has rescaled the window and its controls.
inline constexpr UINT WM_AFTERDPICHANGE = WM_APP + 2;
