#include "ui/app_icon.h"

#include "res/resource.h"

win::Icon LoadAppIcon(int size) noexcept {
  return win::Icon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}
