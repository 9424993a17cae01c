#include "ui/message_box_dlg.h"

#include "ui/centre_window.h"
#include "ui/client_drag.h"
#include "ui/text_limit.h"
#include "ui/title_font.h"
#include "win/message_map.h"
#include "win/reflection.h"
#include "win/window_messages.h"

void MoveToWorkAreaCorner(HWND popup) noexcept {
  RECT rect{};
  ::GetWindowRect(popup, &rect);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(popup, HWND_TOPMOST, work.right - (rect.right - rect.left), work.bottom - (rect.bottom - rect.top),
                 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

CMessageBoxDlg::CMessageBoxDlg(const std::wstring& text, const std::wstring& caption)
    : message_(LimitText(text, kMessageChars)), caption_(LimitText(caption, kCaptionChars)) {}

void CMessageBoxDlg::SetPopupText(const std::wstring& text, const std::wstring& caption) {
  message_ = LimitText(text, kMessageChars);
  caption_ = LimitText(caption, kCaptionChars);
  if (!IsWindow()) return;  // shown at initialisation
  ShowTexts();
  // The statics draw on a hollow brush: repaint the white behind them, or a shorter
  // text would leave pieces of the longer one.
  if (::IsWindowVisible(m_hWnd)) ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CMessageBoxDlg::ShowTexts() noexcept {
  ::SetWindowTextW(messageStatic_, message_.c_str());
  ::SetDlgItemTextW(m_hWnd, IDC_POPUP_CAPTION, caption_.c_str());
}

// Every message the popup takes, tried in this order: its own messages and commands, then
// the drag and the skin's, and last what the controls raised.
bool CMessageBoxDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          LRESULT& result) {
  static constexpr win::MessageEntry<CMessageBoxDlg> kMessageMap[] = {
      win::OnMessage<CMessageBoxDlg>(WM_INITDIALOG, &CMessageBoxDlg::OnInitDialog),
      win::ThenDefault<CMessageBoxDlg>(WM_DESTROY, &CMessageBoxDlg::OnDestroy),
      win::OnTimer<CMessageBoxDlg>(kTimerId, &CMessageBoxDlg::OnTimer),
      win::OnCommand<CMessageBoxDlg>(IDOK, &CMessageBoxDlg::OnOk),
      win::OnCommand<CMessageBoxDlg>(IDCANCEL, &CMessageBoxDlg::OnCancel),
      win::ThenDefault<CMessageBoxDlg>(WM_DPICHANGED, &CMessageBoxDlg::OnDpiChanged),
      win::OnMessage<CMessageBoxDlg>(WM_AFTERDPICHANGE, &CMessageBoxDlg::OnAfterDpiChange),
      win::ChainTo<CMessageBoxDlg>(&ProcessClientDrag),               // WM_LBUTTONDOWN
      win::Chain<CMessageBoxDlg>(&CMessageBoxDlg::ProcessPaintBkgnd),  // WM_ERASEBKGND
      win::Chain<CMessageBoxDlg>(&CMessageBoxDlg::ProcessCtrlColor),   // WM_CTLCOLORSTATIC, WM_CTLCOLORBTN
      win::ChainTo<CMessageBoxDlg>(&win::ReflectNotifications),        // the controls' own notifications
  };
  return win::DispatchMessageMap(*this, kMessageMap, window, message, wParam, lParam, result);
}

LRESULT CMessageBoxDlg::OnInitDialog(WPARAM, LPARAM) {
  if (!messageStatic_) messageStatic_ = GetDlgItem(IDC_POPUP_MESSAGE);
  okButton_.Attach(GetDlgItem(IDOK));
  cancelButton_.Attach(GetDlgItem(IDCANCEL));
  CentreWindow(m_hWnd, ::GetParent(m_hWnd));
  PlaceOkButton();
  const LONG exStyle = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
  if (!(exStyle & WS_EX_TOOLWINDOW)) ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);  // no taskbar button
  ShowTexts();
  titleFont_ = ApplyTitleFont(GetDlgItem(IDC_POPUP_CAPTION));
  timer_ = ::SetTimer(m_hWnd, kTimerId, kTimerPeriodMs, nullptr);
  // No default focus: focusing a control would activate the popup and take the
  // keyboard from the window the user is working in.
  return FALSE;
}

// Centres the OK button with half its own height of space below it.
void CMessageBoxDlg::PlaceOkButton() noexcept {
  HWND ok = GetDlgItem(IDOK);
  RECT dialog{};
  RECT button{};
  ::GetClientRect(m_hWnd, &dialog);
  ::GetClientRect(ok, &button);
  const int width = button.right - button.left;
  const int height = button.bottom - button.top;
  const int x = ((dialog.right - dialog.left) - width) / 2;
  const int y = static_cast<int>((dialog.bottom - dialog.top) - 1.5 * height);
  ::MoveWindow(ok, x, y, width, height, TRUE);
}

// The screen's scaling changed: a title font for the new DPI now; once the dialog manager
// has rescaled the popup, the OK button and a shown popup go back to their places.
LRESULT CMessageBoxDlg::OnDpiChanged(WPARAM, LPARAM) {
  titleFont_ = ApplyTitleFont(GetDlgItem(IDC_POPUP_CAPTION));
  ::PostMessageW(m_hWnd, WM_AFTERDPICHANGE, 0, 0);
  return 0;
}

LRESULT CMessageBoxDlg::OnAfterDpiChange(WPARAM, LPARAM) {
  PlaceOkButton();
  if (::IsWindowVisible(m_hWnd)) MoveToWorkAreaCorner(m_hWnd);
  return 0;
}

LRESULT CMessageBoxDlg::OnDestroy(WPARAM, LPARAM) {
  if (timer_) ::KillTimer(m_hWnd, kTimerId);
  timer_ = 0;
  titleFont_.Reset();
  return 0;
}

// Counts a shown popup down once a second and fades it out at 0; while hidden the
// countdown stays at its default.
LRESULT CMessageBoxDlg::OnTimer(WPARAM, LPARAM) {
  if (::IsWindowVisible(m_hWnd)) {
    if (--countdown_ > 0) return 0;
    ::AnimateWindow(m_hWnd, kFadeMs, AW_HIDE | AW_BLEND);
  }
  countdown_ = kDefaultSeconds;
  return 0;
}

LRESULT CMessageBoxDlg::OnOk(WPARAM, LPARAM) {
  ::ShowWindow(m_hWnd, SW_HIDE);
  return 0;
}

LRESULT CMessageBoxDlg::OnCancel(WPARAM, LPARAM) {
  DestroyWindow();
  return 0;
}

void CMessageBoxDlg::OnFinalMessage(HWND) {
  if (onGone_) onGone_();  // the holder forgets this popup while it still exists
  delete this;
}
