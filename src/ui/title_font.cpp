#include "ui/title_font.h"

#include "win/dpi.h"

namespace {
constexpr int kTitleFontPixels = 14;  // cell height at 96 DPI
}

win::Font CreateTitleFont(UINT dpi) noexcept {
  return win::Font(::CreateFontW(win::ScaleForDpi(kTitleFontPixels, dpi), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                 GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
}

win::Font ApplyTitleFont(HWND title) noexcept {
  win::Font font = CreateTitleFont(win::DpiForWindow(title));
  win::KeepOwnFontOnDpiChange(title);
  ::SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  return font;
}
