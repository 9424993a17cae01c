#include "app/sign_in/login_dlg.h"

#include <new>
#include <utility>

#include "app/sign_in/login_notices.h"
#include "app/sign_in/signed_in_text.h"
#include "flags/process_flags.h"
#include "account/account_messages.h"
#include "account/secure_wipe.h"
#include "account/service_transport.h"
#include "storage/settings_fields.h"
#include "text/window_text.h"
#include "ui/centre_window.h"
#include "ui/client_drag.h"
#include "ui/timed_notice.h"
#include "ui/title_font.h"
#include "win/message_map.h"
#include "win/reflection.h"

CLoginDlg::CLoginDlg(std::wstring machineId, ServiceEndpoint endpoint)
    : machineId_(std::move(machineId)), endpoint_(std::move(endpoint)) {}

CLoginDlg::~CLoginDlg() {
  // A window destroyed without WM_DESTROY reaching us (never in practice) must still
  // stop results from being sent here.
  if (attempt_) attempt_->Detach();
}

// Every message the sign-in dialog takes, tried in this order: its own messages and
// commands, then the status line's timer and the drag, then the skin's, and last what the
// controls raised.
bool CLoginDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) {
  static constexpr win::MessageEntry<CLoginDlg> kMessageMap[] = {
      win::OnMessage<CLoginDlg>(WM_INITDIALOG, &CLoginDlg::OnInitDialog),
      win::ThenDefault<CLoginDlg>(WM_DESTROY, &CLoginDlg::OnDestroy),
      win::OnCommand<CLoginDlg>(IDOK, &CLoginDlg::OnSignInButton),
      win::OnCommand<CLoginDlg>(IDCANCEL, &CLoginDlg::OnCloseButton),
      win::OnMessage<CLoginDlg>(WM_LOGINRESULT, &CLoginDlg::OnLoginResult),
      win::ThenDefault<CLoginDlg>(WM_DPICHANGED, &CLoginDlg::OnDpiChanged),
      win::OnTimer<CLoginDlg>(kTimedNoticeTimerId, &CLoginDlg::OnNoticeTimer),
      win::ChainTo<CLoginDlg>(&ProcessClientDrag),          // WM_LBUTTONDOWN
      win::Chain<CLoginDlg>(&CLoginDlg::ProcessPaintBkgnd),  // WM_ERASEBKGND
      win::Chain<CLoginDlg>(&CLoginDlg::ProcessCtrlColor),   // WM_CTLCOLORSTATIC, WM_CTLCOLORBTN
      win::ChainTo<CLoginDlg>(&win::ReflectNotifications),   // the controls' own notifications
  };
  return win::DispatchMessageMap(*this, kMessageMap, window, message, wParam, lParam, result);
}

// A title font for the new DPI; the dialog manager then rescales the rest.
LRESULT CLoginDlg::OnDpiChanged(WPARAM, LPARAM) {
  titleFont_ = ApplyTitleFont(GetDlgItem(IDC_LOGIN_TITLE));
  return 0;
}

LRESULT CLoginDlg::OnNoticeTimer(WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  ProcessTimedNotice(m_hWnd, status_, WM_TIMER, wParam, lParam, result);
  return result;
}

LRESULT CLoginDlg::OnInitDialog(WPARAM, LPARAM) {
  userName_ = ReadField(record_.userName);
  ::SetDlgItemTextW(m_hWnd, IDC_LOGIN_USER, userName_.c_str());
  ::SetDlgItemTextW(m_hWnd, IDC_LOGIN_PASSWORD, L"");  // a password is never kept

  okButton_.Attach(GetDlgItem(IDOK));
  cancelButton_.Attach(GetDlgItem(IDCANCEL));
  status_ = GetDlgItem(IDC_LOGIN_STATUS);

  CentreWindow(m_hWnd, ::GetParent(m_hWnd));
  PlaceSignedInText();
  ::ShowWindow(status_, SW_HIDE);

  titleFont_ = ApplyTitleFont(GetDlgItem(IDC_LOGIN_TITLE));

  if (g_bSignedIn) ShowAccountView(true, SignedInTextNow(userName_, record_.expireTime));
  return TRUE;
}

LRESULT CLoginDlg::OnDestroy(WPARAM, LPARAM) {
  // Results that arrive from now on belong to nobody: the caller takes this record back
  // as it is once the dialog has closed.
  if (attempt_) attempt_->Detach();
  attempt_.reset();
  titleFont_.Reset();
  overrideBrush_.Reset();
  return 0;
}

LRESULT CLoginDlg::OnSignInButton(WPARAM, LPARAM) {
  userName_ = WindowText(GetDlgItem(IDC_LOGIN_USER));
  std::wstring password = WindowText(GetDlgItem(IDC_LOGIN_PASSWORD));

  if (WindowText(GetDlgItem(IDOK)) == kSignInAgainCaption) {
    ShowAccountView(false, std::wstring());
  } else if (const auto refusal = CheckTypedLogin(userName_, password)) {
    ShowNotice(refusal->notice.text, refusal->notice.milliseconds);
    ::SetFocus(GetDlgItem(refusal->focusControl));
  } else if (!StartAttempt(password)) {
    ShowNotice(kThreadFailedText, kInputNoticeMs);
  } else {
    ShowNotice(kSigningInText, kInputNoticeMs);
    ::EnableWindow(GetDlgItem(IDOK), FALSE);  // one sign-in at a time; code 9 enables it again
  }
  SecureWipe(password);
  return 0;
}

bool CLoginDlg::StartAttempt(const std::wstring& password) {
  try {
    auto attempt = std::make_shared<LoginAttempt>(m_hWnd, userName_, password, machineId_, record_.softType,
                                                  std::make_unique<WinInetTransport>(endpoint_, &g_bQuit));
    if (!LoginAttempt::Start(attempt)) return false;
    attempt_ = std::move(attempt);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

LRESULT CLoginDlg::OnCloseButton(WPARAM, LPARAM) {
  EndDialog(IDCANCEL);  // never waits for a running sign-in
  return 0;
}

LRESULT CLoginDlg::OnLoginResult(WPARAM wParam, LPARAM lParam) {
  if (!attempt_) return 0;  // nothing runs: a stale report
  const LoginOutcome outcome = LoginOutcomeFromCode(wParam);
  if (outcome == LoginOutcome::kFinished) {
    attempt_.reset();
    ::EnableWindow(GetDlgItem(IDOK), TRUE);
    return 0;
  }
  const auto notice = LoginResultNotice(outcome, reinterpret_cast<const wchar_t*>(lParam));
  if (!notice) return 0;
  if (const auto result = attempt_->TakeResult()) ApplyLoginResult(*result, record_, g_bSignedIn);
  ShowNotice(notice->text, notice->milliseconds);
  if (outcome == LoginOutcome::kRefused) {
    TellParent(kAccountSignedOut);
  } else if (outcome == LoginOutcome::kAccepted) {
    ShowAccountView(true, SignedInTextNow(userName_, record_.expireTime));
    TellParent(kAccountSignedIn);
  }
  return 0;
}

void CLoginDlg::TellParent(WPARAM state) noexcept {
  if (HWND parent = ::GetParent(m_hWnd)) ::SendMessageW(parent, WM_ACCOUNTSTATE, state, 0);
}

void CLoginDlg::ShowAccountView(bool signedIn, const std::wstring& signedInText) {
  ::SetDlgItemTextW(m_hWnd, IDOK, signedIn ? kSignInAgainCaption : kSignInCaption);
  const int inputShow = signedIn ? SW_HIDE : SW_SHOW;
  for (int id : {IDC_LOGIN_USER, IDC_LOGIN_PASSWORD, IDC_LOGIN_USER_LABEL, IDC_LOGIN_PASSWORD_LABEL}) {
    ::ShowWindow(GetDlgItem(id), inputShow);
  }
  HWND text = GetDlgItem(IDC_LOGIN_SIGNED_IN);
  if (signedIn) ::SetWindowTextW(text, signedInText.c_str());
  ::ShowWindow(text, signedIn ? SW_SHOW : SW_HIDE);
}

void CLoginDlg::PlaceSignedInText() noexcept {
  HWND text = GetDlgItem(IDC_LOGIN_SIGNED_IN);
  RECT client{};
  RECT own{};
  ::GetClientRect(m_hWnd, &client);
  ::GetWindowRect(text, &own);
  const int height = client.bottom - client.top;
  ::MoveWindow(text, 0, (height - height / 2) / 2, own.right - own.left, height / 2, TRUE);
}

void CLoginDlg::ShowNotice(const std::wstring& text, UINT milliseconds) noexcept {
  ShowTimedNotice(m_hWnd, status_, text, milliseconds);
}

HBRUSH CLoginDlg::ControlColorOverride(HDC dc, HWND control) {
  COLORREF background = 0;
  switch (::GetDlgCtrlID(control)) {
    case IDC_LOGIN_STATUS:
      background = kStatusLineBackground;
      break;
    case IDC_LOGIN_SIGNED_IN:
      background = kSignedInBackground;
      break;
    default:
      return kNoOverride;
  }
  ::SetTextColor(dc, kWhite);
  overrideBrush_.Reset(::CreateSolidBrush(background));
  return overrideBrush_.Get();
}
