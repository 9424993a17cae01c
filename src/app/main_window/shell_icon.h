// The main window's icon in the notification area and its menu, as mix-ins of the window
// class T (which has m_hWnd). Minimising hides the window; a left click on the icon
// brings it back; a right click opens the menu (show, home page, About, exit).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "build_config.h"
#include "res/resource.h"
#include "text/product_texts.h"
#include "ui/about_dlg.h"
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

  // The tray's share of the window's messages: the icon's callback, the taskbar's
  // re-creation, minimise-to-tray and the menu commands.
  bool ProcessTrayMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    result = 0;
    if (message == WM_TRAYICON) {
      if (wParam != kTrayIconId) return true;
      if (lParam == WM_LBUTTONUP) {
        ::ShowWindow(hwnd, SW_SHOW);
        ::SetForegroundWindow(hwnd);
        ::OpenIcon(hwnd);
      } else if (lParam == WM_RBUTTONUP) {
        ShowTrayMenu(hwnd);
      }
      return true;
    }
    if (taskbarCreatedMessage_ != 0 && message == taskbarCreatedMessage_) {
      // The shell restarted: the old icon is gone with it.
      ResetIconData();
      ::Shell_NotifyIconW(NIM_DELETE, &iconData_);
      AddTrayIcon();
      return true;
    }
    if (message == WM_SIZE) {
      if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_HIDE);
      return true;
    }
    if (message == WM_COMMAND) {
      switch (LOWORD(wParam)) {
        case ID_TRAY_SHOW:
          ::ShowWindow(hwnd, SW_SHOW);
          ::OpenIcon(hwnd);
          return true;
        case ID_TRAY_EXIT:
          ::DestroyWindow(hwnd);
          ::PostQuitMessage(0);
          return true;
        case ID_TRAY_ABOUT:
          ShowAboutBox(::GetActiveWindow());
          return true;
        case ID_TRAY_HOME_PAGE:
          OpenHomePage();
          return true;
        default:
          break;
      }
    }
    return false;
  }

 private:
  void ResetIconData() {
    iconData_ = NOTIFYICONDATAW{};
    iconData_.cbSize = kTrayIconDataSize;
    iconData_.hWnd = static_cast<T*>(this)->m_hWnd;
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
