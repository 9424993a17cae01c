#include "ui/ctrl_color.h"

#include <iterator>

bool IsEditControl(HWND control) noexcept {
  wchar_t className[40] = {};
  if (!::GetClassNameW(control, className, static_cast<int>(std::size(className)))) return false;
  return ::lstrcmpiW(className, L"Edit") == 0;
}
