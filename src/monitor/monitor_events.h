// The events a site-check worker reports to the main window, and their status texts.
// An event is the message WM_MONITOREVENT with the site's 1-based index in wParam and
// the event code in lParam. Codes below 100 are the worker's own; codes from 100 up are
// HTTP status codes, described by their class (status / 100).
#pragma once

#include <windows.h>

#include "win/window_messages.h"

inline constexpr int EV_THREAD_EXIT = 9;        // the worker ends (sent, not posted)
inline constexpr int EV_NET_DOWN = 10;          // the local network is down (every second)
inline constexpr int EV_NET_UP = 11;            // the local network is back
inline constexpr int EV_NET_INIT_FAILED = 21;   // the HTTP layer could not be initialised
inline constexpr int EV_SITE_UNREACHABLE = 22;  // the address could not be opened R + 1 times
inline constexpr int EV_MAIL_FAILED = 24;       // a reminder request failed
inline constexpr int EV_MAIL_SENT = 25;         // a reminder request succeeded

// The status a check records when the address could not be opened at all.
inline constexpr int CODE_CONNECT_FAILED = 600;

// The text of a code the table does not name, and for an event code without a text of its
// own the whole run-log line (no time, no address).
inline constexpr wchar_t kUnknownStatusText[] = L"未知状态";

// The text shown for an event code; kUnknownStatusText for a code the table does not name.
const wchar_t* StatusText(int code);
