#include "win/dpi.h"

namespace win {
namespace {

// The per-monitor functions exist from Windows 10 on; older systems get the system DPI.
template <class Function>
Function User32Function(const char* name) noexcept {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

UINT SystemDpi() noexcept {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

int ScaleForDpi(int pixels, UINT dpi) noexcept { return ::MulDiv(pixels, static_cast<int>(dpi), kDefaultDpi); }

UINT DpiForWindow(HWND window) noexcept {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) noexcept {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto getSystemMetricsForDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (getSystemMetricsForDpi) return getSystemMetricsForDpi(index, dpi);
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

void KeepOwnFontOnDpiChange(HWND control) noexcept {
  using SetBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
  static const auto setBehavior = User32Function<SetBehaviorFn>("SetDialogControlDpiChangeBehavior");
  constexpr int kDisableFontUpdate = 1;  // DCDC_DISABLE_FONT_UPDATE
  if (setBehavior && control) setBehavior(control, kDisableFontUpdate, kDisableFontUpdate);
}

}  // namespace win
