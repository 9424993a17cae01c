// The sign-in dialog: user name (an e-mail address) and password, a status line across
// the top, and a signed-in view with the account's dates. It works on its own copy of
// the settings record, which the caller sets before the dialog runs and takes back after
// it has closed. A sign-in runs on a thread of its own (LoginAttempt); the dialog can be
// closed at any time, and a result that arrives later is dropped.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/sign_in/login_attempt.h"
#include "res/resource.h"
#include "account/service_post.h"
#include "storage/settings_record.h"
#include "text/product_texts.h"
#include "ui/button_bt.h"
#include "ui/ctrl_color.h"
#include "ui/paint_bkgnd.h"
#include "ui/skin_colors.h"
#include "win/dialog_impl.h"
#include "win/unique_handle.h"

inline constexpr wchar_t kSignInAgainCaption[] = L"重新登录";

class CLoginDlg : public win::DialogImpl<CLoginDlg>,
                  public CPaintBkgnd<CLoginDlg, kWhite>,
                  public CCtrlColor<CLoginDlg, 1, kBlack, kWhite> {
 public:
  enum { IDD = IDD_LOGIN };

  // machineId is sent with the request and stored on a parsed reply; endpoint is where
  // the account service is reached (the build's service unless a test says otherwise).
  explicit CLoginDlg(std::wstring machineId, ServiceEndpoint endpoint = {});
  ~CLoginDlg() override;

  // The dialog's copy of the settings record: set it before the dialog opens, read it
  // after it has closed.
  void SetRecord(const SettingsRecord& record) noexcept { record_ = record; }
  const SettingsRecord& Record() const noexcept { return record_; }

  // The status line (1013) and the signed-in text (1016) have colours of their own.
  HBRUSH ControlColorOverride(HDC dc, HWND control);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnInitDialog(WPARAM, LPARAM);
  LRESULT OnSignInButton(WPARAM, LPARAM);
  LRESULT OnCloseButton(WPARAM, LPARAM);
  LRESULT OnLoginResult(WPARAM, LPARAM);
  LRESULT OnDpiChanged(WPARAM, LPARAM);
  LRESULT OnNoticeTimer(WPARAM, LPARAM);

  // Lets a sign-in run for the typed input; false when its thread could not be started.
  bool StartAttempt(const std::wstring& password);
  // Input view (edits and labels, "登录") or signed-in view (the text in 1016, "重新登录").
  void ShowAccountView(bool signedIn, const std::wstring& signedInText);
  // Puts the signed-in text into the middle half of the dialog, full width of its own.
  void PlaceSignedInText() noexcept;
  void ShowNotice(const std::wstring& text, UINT milliseconds) noexcept;
  void TellParent(WPARAM state) noexcept;

  std::wstring machineId_;
  ServiceEndpoint endpoint_;
  SettingsRecord record_{};
  std::wstring userName_;  // as typed at the last press of button 1, or from the record
  HWND status_ = nullptr;  // the status line, 1013
  CButtonBT okButton_;
  CButtonBT cancelButton_;
  win::Font titleFont_;
  win::Brush overrideBrush_;             // the latest override brush; replaced on every answer
  std::shared_ptr<LoginAttempt> attempt_;  // the running sign-in, if any
};
