// Screen scaling for what the program sizes in pixels itself. Dialogs scale through their
// font; fonts, frames, icons and margins given in pixels are written for 96 DPI (100 %)
// and scaled with these to the DPI of the window they appear in.
#pragma once

#include <windows.h>

namespace win {

inline constexpr UINT kDefaultDpi = 96;

// `pixels` at 96 DPI, scaled to `dpi` and rounded to the nearest pixel.
int ScaleForDpi(int pixels, UINT dpi) noexcept;

// The DPI the window is shown at: its monitor's on systems with per-monitor scaling
// (Windows 10 1607 on), otherwise the system's.
UINT DpiForWindow(HWND window) noexcept;

// A system metric (SM_CXICON, SM_CXSMICON, ...) at `dpi`.
int SystemMetricForDpi(int index, UINT dpi) noexcept;

// Keeps the dialog manager from replacing a control's own font with the dialog font when
// the DPI changes, so the owner can give it its own rescaled font. Does nothing on
// systems without per-monitor dialog scaling.
void KeepOwnFontOnDpiChange(HWND control) noexcept;

}  // namespace win
