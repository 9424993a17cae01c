#include "ui/about_dlg.h"

#include "ui/app_icon.h"
#include "text/product_texts.h"
#include "text/window_text.h"
#include "ui/centre_window.h"
#include "version.h"
#include "win/dpi.h"
#include "win/message_map.h"

// The copyright line keeps to characters of code page 936, so every Chinese system shows
// it without borrowing from another font; the centred static wraps it where needed.
std::wstring AboutText(const std::wstring& title, const std::wstring& version) {
  return title + L" v" + version + L"\r\n\r\n" TARN_COPYRIGHT_WTEXT;
}

// Every message the About box takes. Out of memory while building the text leaves the
// template's text.
bool CAboutDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static constexpr win::MessageEntry<CAboutDlg> kMessageMap[] = {
      win::OnMessage<CAboutDlg>(WM_INITDIALOG, &CAboutDlg::OnInitDialog),
      win::OnMessage<CAboutDlg>(WM_LBUTTONDOWN, &CAboutDlg::OnLButtonDown),
      win::OnCommand<CAboutDlg>(IDOK, &CAboutDlg::OnCloseCommand),
      win::OnCommand<CAboutDlg>(IDCANCEL, &CAboutDlg::OnCloseCommand),
      win::ThenDefault<CAboutDlg>(WM_DPICHANGED, &CAboutDlg::OnDpiChanged),
  };
  return win::DispatchMessageMap(*this, kMessageMap, window, message, wParam, lParam, result);
}

// The icon for the new DPI; the dialog manager then rescales the dialog and its text.
LRESULT CAboutDlg::OnDpiChanged(WPARAM, LPARAM) {
  ShowIconAtDpi();
  return 0;
}

// The icon static loads the icon at the system's size; give it the image for the DPI the
// dialog is shown at instead, keeping the icon centred where the template put it.
void CAboutDlg::ShowIconAtDpi() noexcept {
  HWND iconStatic = ::GetWindow(m_hWnd, GW_CHILD);  // the template's first control
  if (!iconStatic) return;
  RECT before{};
  ::GetWindowRect(iconStatic, &before);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&before), 2);
  win::Icon icon = LoadAppIcon(win::SystemMetricForDpi(SM_CXICON, win::DpiForWindow(m_hWnd)));
  if (!icon) return;
  ::SendMessageW(iconStatic, STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
  icon_ = std::move(icon);
  RECT after{};
  ::GetWindowRect(iconStatic, &after);
  const int width = after.right - after.left;
  const int height = after.bottom - after.top;
  ::SetWindowPos(iconStatic, nullptr, (before.left + before.right - width) / 2, (before.top + before.bottom - height) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CAboutDlg::OnInitDialog(WPARAM, LPARAM) {
  CentreWindow(m_hWnd, ::GetParent(m_hWnd));
  ShowIconAtDpi();
  const std::wstring text = AboutText(kProductTitle, ResourceString(IDS_VERSION));
  ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_TEXT, text.c_str());
  return TRUE;
}

LRESULT CAboutDlg::OnLButtonDown(WPARAM, LPARAM) {
  EndDialog(0);
  return 0;
}

LRESULT CAboutDlg::OnCloseCommand(WPARAM wParam, LPARAM) {
  EndDialog(LOWORD(wParam));
  return 0;
}

void ShowAboutBox(HWND parent) {
  CAboutDlg dialog;
  dialog.DoModal(parent);
}
