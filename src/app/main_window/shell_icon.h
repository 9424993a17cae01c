// The main window's icon in the notification area and its menu, as mix-ins of the window
// class T (which has m_hWnd). Minimising hides the window; a left click on the icon
// brings it back; a right click opens the menu (show, home page, About, exit). The window
// lists the handlers below in its message map.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "build_config.h"
#include "res/resource.h"
#include "text/product_texts.h"
#include "ui/app_icon.h"
#include "ui/text_limit.h"
#include "win/unique_handle.h"
#include "win/window_messages.h"

// The icon record's size as given to the shell: up to the balloon flags on 64-bit builds
// (the record without guidItem and hBalloonIcon), up to guidItem on 32-bit ones.
inline constexpr DWORD kTrayIconDataSize = 952;
#ifdef _WIN64
static_assert(NOTIFYICONDATAW_V2_SIZE == kTrayIconDataSize);
#else
static_assert(NOTIFYICONDATAW_V3_SIZE == kTrayIconDataSize);
#endif

inline constexpr UINT kTrayIconId = 128;

// Copies text into a fixed field of the icon record, cut to what the field holds.
template <std::size_t N>
void CopyIntoField(wchar_t (&field)[N], std::wstring_view text) {
  const std::wstring limited = LimitText(text, N - 1);
  limited.copy(field, N - 1);
  field[limited.size()] = L'\0';
}

// Opens the vendor home page in the default browser; failures are ignored.
inline void OpenHomePage() {
  ::ShellExecuteW(nullptr, L"open", build_config::kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
}

// Holds the tray menu, loaded from the program's resources.
template <class T, int MenuId>
class CAppIconMenu {
 public:
  CAppIconMenu() : menu_(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MenuId))) {}
  CAppIconMenu(const CAppIconMenu&) = delete;
  CAppIconMenu& operator=(const CAppIconMenu&) = delete;

  HMENU TrayMenu() const { return menu_.Get(); }

 private:
  win::Menu menu_;
};

template <class T, class TBase, int MenuId>
class CShellIcon : public TBase {
 public:
  CShellIcon() : iconData_{}, taskbarCreatedMessage_(::RegisterWindowMessageW(L"TaskbarCreated")) {}
  ~CShellIcon() { RemoveTrayIcon(); }

  // Adds the icon with the bare title as its tooltip; no balloon is ever shown.
  void AddTrayIcon() {
    ResetIconData();
    iconData_.uCallbackMessage = WM_TRAYICON;
    // The small icon at the taskbar's (the system's) DPI, not the large one shrunk by the shell.
    trayIcon_ = LoadAppIcon(::GetSystemMetrics(SM_CXSMICON));
    iconData_.hIcon = trayIcon_.Get();
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    iconData_.dwInfoFlags = NIIF_INFO;
    CopyIntoField(iconData_.szInfoTitle, kProductTitle);
    CopyIntoField(iconData_.szTip, kProductTitle);
    tipDelivered_ = ::Shell_NotifyIconW(NIM_ADD, &iconData_) != FALSE;
  }

  // Replaces the tooltip; a text longer than the field's 127 characters is cut. The shell
  // hears only of a change: sites that keep giving the same answer would otherwise cost a
  // call into the shell's process at every check, for nothing.
  void SetTrayTip(std::wstring_view text) {
    const std::wstring limited = LimitText(text, std::size(iconData_.szTip) - 1);
    if (tipDelivered_ && limited == iconData_.szTip) return;
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyIntoField(iconData_.szTip, limited);
    tipDelivered_ = ::Shell_NotifyIconW(NIM_MODIFY, &iconData_) != FALSE;
  }

  void RemoveTrayIcon() {
    if (iconData_.hWnd) ::Shell_NotifyIconW(NIM_DELETE, &iconData_);
  }

  static std::wstring TrayTitle() { return kProductTitle; }
  // The tooltip as last given to the shell.
  std::wstring TrayTip() const { return iconData_.szTip; }

  // The tray's handlers, each an entry of the window's message map. The window's own
  // handlers open the home page and the About box for the menu's other two commands.

  // WM_TRAYICON: a left click brings the window back, a right click opens the menu.
  LRESULT OnTrayIcon(WPARAM wParam, LPARAM lParam) noexcept {
    if (wParam != kTrayIconId) return 0;
    HWND hwnd = Window();
    if (lParam == WM_LBUTTONUP) {
      ::ShowWindow(hwnd, SW_SHOW);
      ::SetForegroundWindow(hwnd);
      ::OpenIcon(hwnd);
    } else if (lParam == WM_RBUTTONUP) {
      ShowTrayMenu(hwnd);
    }
    return 0;
  }

  // "TaskbarCreated", a message registered at run time and so chained rather than listed:
  // the shell restarted, and the old icon is gone with it.
  bool ProcessTaskbarCreated(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) noexcept {
    if (taskbarCreatedMessage_ == 0 || message != taskbarCreatedMessage_) return false;
    ResetIconData();
    ::Shell_NotifyIconW(NIM_DELETE, &iconData_);
    AddTrayIcon();
    result = 0;
    return true;
  }

  // WM_SIZE: a minimised window hides, leaving the icon.
  LRESULT OnSizeToTray(WPARAM, LPARAM) noexcept {
    if (::IsIconic(Window())) ::ShowWindow(Window(), SW_HIDE);
    return 0;
  }

  // ID_TRAY_SHOW.
  LRESULT OnTrayShow(WPARAM, LPARAM) noexcept {
    ::ShowWindow(Window(), SW_SHOW);
    ::OpenIcon(Window());
    return 0;
  }

  // ID_TRAY_EXIT.
  LRESULT OnTrayExit(WPARAM, LPARAM) noexcept {
    ::DestroyWindow(Window());
    ::PostQuitMessage(0);
    return 0;
  }

 private:
  HWND Window() const noexcept { return static_cast<const T*>(this)->m_hWnd; }

  void ResetIconData() {
    iconData_ = NOTIFYICONDATAW{};
    iconData_.cbSize = kTrayIconDataSize;
    iconData_.hWnd = Window();
    iconData_.uID = kTrayIconId;
  }

  // The menu opens at the cursor; a cursor outside every monitor has its x brought into
  // the nearest monitor's work area. The program is DPI aware, so the cursor, the monitors
  // and the menu all use the same physical pixels: nothing here needs scaling.
  void ShowTrayMenu(HWND hwnd) {
    ::SetForegroundWindow(hwnd);
    HMENU popup = ::GetSubMenu(this->TrayMenu(), 0);
    if (!popup) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    if (!::MonitorFromPoint(cursor, MONITOR_DEFAULTTONULL)) {
      MONITORINFO info{};
      info.cbSize = sizeof info;
      HMONITOR nearest = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
      if (nearest && ::GetMonitorInfoW(nearest, &info)) {
        if (cursor.x < info.rcWork.left) cursor.x = info.rcWork.left;
        if (cursor.x > info.rcWork.right) cursor.x = info.rcWork.right;
      }
    }
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd, nullptr);
  }

  NOTIFYICONDATAW iconData_;
  bool tipDelivered_ = false;  // the shell took the tooltip in iconData_
  win::Icon trayIcon_;  // the icon the shell shows; kept while the icon exists
  UINT taskbarCreatedMessage_;
};
