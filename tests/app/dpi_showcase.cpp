// Shows one of the program's windows for a while so that scripts/screenshots.sh can take
// its picture at the prefix's DPI: the main window, the popup with a notice, the sign-in
// dialog or the About box, each made in-process over a temporary data folder.
//   dpi_showcase.exe main|popup|login|about [milliseconds]
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <memory>

#include "app/sign_in/login_dlg.h"
#include "main_window_support.h"
#include "wait_until.h"
#include "ui/about_dlg.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring which = argc > 1 ? argv[1] : L"main";
  const DWORD milliseconds = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 5000;
  MainWindowHarness harness;
  if (!harness.Open()) return 1;
  std::unique_ptr<CLoginDlg> login;
  std::unique_ptr<CAboutDlg> about;
  HWND shown = harness.Window();
  if (which == L"popup") {
    ::ShowWindow(harness.Window(), SW_HIDE);
    harness.Dialog().ShowPopup(true, 60, L"2026-12-8 10:00:00 http://www.example.cn/ 网站无法访问", L"禾岚提示");
    shown = harness.Dialog().Popup().Window();
  } else if (which == L"login") {
    login = std::make_unique<CLoginDlg>(L"SHOWCASE");
    shown = login->Create(harness.Window());
    ::ShowWindow(harness.Window(), SW_HIDE);
  } else if (which == L"about") {
    about = std::make_unique<CAboutDlg>();
    shown = about->Create(harness.Window());
    ::ShowWindow(harness.Window(), SW_HIDE);
  }
  if (!shown) return 1;
  ::ShowWindow(shown, SW_SHOWNOACTIVATE);
  test_support::WaitUntil([] { return false; }, milliseconds);  // shown for the screenshot
  if (login) ::DestroyWindow(login->m_hWnd);
  if (about) ::DestroyWindow(about->m_hWnd);
  return 0;
}
