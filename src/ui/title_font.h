// The bold title font of the sign-in dialog and the popup (14 pixels, 宋体, GB2312).
#pragma once

#include "win/unique_handle.h"

win::Font CreateTitleFont() noexcept;
