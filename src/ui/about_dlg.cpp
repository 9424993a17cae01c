#include "ui/about_dlg.h"

#include "text/window_text.h"
#include "ui/centre_window.h"
#include "win/message_map.h"

// The copyright line keeps to characters of code page 936, so every Chinese system shows
// it without borrowing from another font; the centred static wraps it where needed.
std::wstring AboutText(const std::wstring& title, const std::wstring& version) {
  return title + L" v" + version + L"\r\n\r\n版权所有 (C) 2026 禾岚软件";
}

bool CAboutDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  static constexpr win::MessageEntry<CAboutDlg> kMap[] = {
      win::OnMessage<CAboutDlg>(WM_INITDIALOG, &CAboutDlg::OnInitDialog),
      win::OnMessage<CAboutDlg>(WM_LBUTTONDOWN, &CAboutDlg::OnLButtonDown),
      win::OnCommand<CAboutDlg>(IDOK, &CAboutDlg::OnCloseCommand),
      win::OnCommand<CAboutDlg>(IDCANCEL, &CAboutDlg::OnCloseCommand),
  };
  // Out of memory while building the text leaves the template's text.
  return win::DispatchMessageMap(*this, kMap, message, wParam, lParam, result);
}

LRESULT CAboutDlg::OnInitDialog(WPARAM, LPARAM) {
  CentreWindow(m_hWnd, ::GetParent(m_hWnd));
  const std::wstring text = AboutText(ResourceString(IDS_PRODUCT_TITLE), ResourceString(IDS_VERSION));
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
