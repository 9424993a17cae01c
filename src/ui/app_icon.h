// The application icon (icon group 128) at a given size. The group holds 64, 48, 32, 24 and
// 16 pixel images, so the large and small icons are crisp at 100 %, 150 % and 200 %.
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

// The group's image closest to `size` pixels, scaled to it only when none matches.
win::Icon LoadAppIcon(int size) noexcept;
