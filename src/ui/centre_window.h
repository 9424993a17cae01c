// Centres a window over a reference window, or over the work area of its monitor, and
// keeps it inside that monitor's work area.
#pragma once

#include <windows.h>

// Top-left corner for a window of `windowSize` centred on `target` and then moved back
// inside `workArea` (right/bottom edges first, then left/top, so a window larger than
// the work area keeps its top-left corner visible).
POINT CentredPosition(SIZE windowSize, const RECT& target, const RECT& workArea) noexcept;

// Centres `window` over `reference` (nullptr: the window's owner) when that is visible and
// not minimised, otherwise over the work area of the monitor nearest to `window`. Moves
// without resizing, without changing the z-order and without activating.
void CentreWindow(HWND window, HWND reference) noexcept;
