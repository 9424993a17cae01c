// The bold title font of the sign-in dialog and the popup (14 pixels at 96 DPI, 宋体, GB2312).
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

// The font at `dpi`: 14 pixels at 96 DPI, scaled.
win::Font CreateTitleFont(UINT dpi) noexcept;

// Gives `title` the font at its window's DPI and returns it; the caller keeps it while the
// control uses it. The dialog manager is told to leave it in place when the DPI changes:
// the owner calls this again then.
win::Font ApplyTitleFont(HWND title) noexcept;
