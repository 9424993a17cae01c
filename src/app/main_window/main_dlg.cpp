// The main window's life: construction, the message map, initialisation, destruction and
// the small handlers that live in the map (caption buttons, account state, session end).
#include "app/main_window/main_dlg.h"

#include <commctrl.h>

#include <algorithm>

#include <cwchar>

#include "app/main_window/setting_lists.h"
#include "app/sign_in/sign_in_flow.h"
#include "build_config.h"
#include "monitor/monitor_events.h"
#include "monitor/run_log_lines.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "monitor/trace_log.h"
#include "account/account_messages.h"
#include "account/account_state.h"
#include "account/machine_id.h"
#include "account/service_info.h"
#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "text/product_texts.h"
#include "text/window_text.h"
#include "ui/about_dlg.h"
#include "ui/app_icon.h"
#include "ui/centre_window.h"
#include "ui/client_drag.h"
#include "win/app_module.h"
#include "win/dpi.h"
#include "win/message_map.h"
#include "win/reflection.h"
#include "win/window_messages.h"

namespace {

// A stored user name longer than this counts as a signed-in account.
constexpr size_t kSignedInNameMinLength = 6;

}  // namespace

CMainDlg::CMainDlg() : CMainDlg(DefaultDataBaseFolder()) {}

CMainDlg::CMainDlg(const std::wstring& dataBaseFolder)
    : settings_(std::make_shared<SettingsStore>()), paths_(MakeDataPaths(dataBaseFolder)) {}

CMainDlg::~CMainDlg() = default;

// Every message the main window takes, tried in this order: its own messages and commands,
// then the tray icon's, then the skin's, and last what the controls raised.
bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
  static constexpr win::MessageEntry<CMainDlg> kMessageMap[] = {
      win::OnMessage<CMainDlg>(WM_INITDIALOG, &CMainDlg::OnInitDialog),
      win::OnMessage<CMainDlg>(WM_DESTROY, &CMainDlg::OnDestroy),
      win::OnCommand<CMainDlg>(IDC_START, &CMainDlg::OnStart),
      win::OnCommand<CMainDlg>(IDC_STOP, &CMainDlg::OnStop),
      win::OnCommand<CMainDlg>(IDCANCEL, &CMainDlg::OnCancel),
      win::OnCommand<CMainDlg>(IDC_CLOSE, &CMainDlg::OnCloseButton),
      win::OnCommand<CMainDlg>(IDC_MINIMIZE, &CMainDlg::OnMinimizeButton),
      win::OnCommand<CMainDlg>(IDC_SIGN_IN, &CMainDlg::OnSignIn),
      win::OnCommand<CMainDlg>(IDC_HOME_PAGE, &CMainDlg::OnHomePage),
      win::OnCommand<CMainDlg>(IDC_CLEAR_LOG, &CMainDlg::OnClearLog),
      win::OnMessage<CMainDlg>(WM_LBUTTONDOWN, &CMainDlg::OnLButtonDown),
      win::OnMessage<CMainDlg>(WM_MONITOREVENT, &CMainDlg::OnMonitorEvent),
      win::OnMessage<CMainDlg>(WM_ACCOUNTSTATE, &CMainDlg::OnAccountState),
      win::OnMessage<CMainDlg>(WM_QUERYENDSESSION, &CMainDlg::OnQueryEndSession),
      win::OnMessage<CMainDlg>(WM_ENDSESSION, &CMainDlg::OnEndSession),
      win::OnMessage<CMainDlg>(WM_APPLYTRAYTIP, &CMainDlg::OnApplyTrayTip),
      win::ThenDefault<CMainDlg>(WM_DPICHANGED, &CMainDlg::OnDpiChanged),
      win::OnMessage<CMainDlg>(WM_AFTERDPICHANGE, &CMainDlg::OnAfterDpiChange),
      win::Chain<CMainDlg>(&CMainDlg::ProcessRunLogNotify),  // WM_NOTIFY from the run log
      // The tray icon (shell_icon.h): its callback, the taskbar's return, minimising to the
      // tray and the tray menu.
      win::OnMessage<CMainDlg>(WM_TRAYICON, &CMainDlg::OnTrayIcon),
      win::Chain<CMainDlg>(&CMainDlg::ProcessTaskbarCreated),  // "TaskbarCreated"
      win::OnMessage<CMainDlg>(WM_SIZE, &CMainDlg::OnSizeToTray),
      win::OnCommand<CMainDlg>(ID_TRAY_SHOW, &CMainDlg::OnTrayShow),
      win::OnCommand<CMainDlg>(ID_TRAY_HOME_PAGE, &CMainDlg::OnHomePage),
      win::OnCommand<CMainDlg>(ID_TRAY_ABOUT, &CMainDlg::OnAbout),
      win::OnCommand<CMainDlg>(ID_TRAY_EXIT, &CMainDlg::OnTrayExit),
      // The skin.
      win::Chain<CMainDlg>(&CMainDlg::ProcessPaintBkgnd),  // WM_ERASEBKGND
      win::Chain<CMainDlg>(&CMainDlg::ProcessCtrlColor),   // WM_CTLCOLORSTATIC, WM_CTLCOLORBTN
      win::ChainTo<CMainDlg>(&win::ReflectNotifications),  // the controls' own notifications
  };
  return win::DispatchMessageMap(*this, kMessageMap, window, message, wParam, lParam, result);
}

bool CMainDlg::ProcessRunLogNotify(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  if (message != WM_NOTIFY) return false;
  if (log_.AnswerTextRequest(lParam)) {
    result = 0;
    return true;
  }
  return log_.AnswerFindRequest(lParam, result);
}

// Icons for the new DPI now; the dialog manager then moves and resizes the window to the
// suggested rectangle and rescales the controls and their font; the run log's column
// follows once it has.
LRESULT CMainDlg::OnDpiChanged(WPARAM, LPARAM) {
  SetWindowIcons();
  ::PostMessageW(m_hWnd, WM_AFTERDPICHANGE, 0, 0);
  return 0;
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) { return m_hWnd && ::IsDialogMessageW(m_hWnd, msg); }

BOOL CMainDlg::OnIdle() { return FALSE; }

LRESULT CMainDlg::OnInitDialog(WPARAM, LPARAM) {
  CentreWindow(m_hWnd, nullptr);
  ::SetWindowTextW(m_hWnd, kProductTitle);

  AttachButtons();
  intervalList_ = GetDlgItem(IDC_INTERVAL);
  retryCountList_ = GetDlgItem(IDC_RETRY_COUNT);
  retryIntervalList_ = GetDlgItem(IDC_RETRY_INTERVAL);
  emailReminderList_ = GetDlgItem(IDC_EMAIL_REMINDER);

  machineId_ = ComputeMachineId();

  SettingsRecord record = ReadSettingsFile(paths_.settingsFile);
  record.softType = 2;
  const bool signedIn = ::wcsnlen(record.userName, std::size(record.userName)) >= kSignedInNameMinLength;
  g_bSignedIn = signedIn;
  SetCaptionLine(signedIn);
  RestoreSettingLists(record);
  settings_->Replace(record);

  ShowStoredSites();
  SetWindowIcons();
  AddTrayIcon();
  popup_.CreateHidden(kNoticeCaption);

  buttons_[2].SetColors(kCloseButtonColors);
  buttons_[3].SetColors(kCaptionButtonColors);
  buttons_[4].SetColors(kCaptionButtonColors);
  buttons_[5].SetColors(kCaptionButtonColors);
  buttons_[6].SetColors(kClearLogButtonColors);

  log_.Attach(GetDlgItem(IDC_RUN_LOG));
  AddLogLine(PlainLine(run_.Stamp(), kStartupText));

  if (CMessageLoop* loop = _Module.GetMessageLoop()) {
    loop->AddMessageFilter(this);
    loop->AddIdleHandler(this);
  }

  // The service-information thread shares the record and knows only the window's handle,
  // so it may outlive this object harmlessly; it is never waited for.
  StartServiceInfoThread(settings_, machineId_, m_hWnd, pollerQuit_);
  return TRUE;  // the dialog manager gives the focus to the first tab stop, Start
}

void CMainDlg::AttachButtons() {
  for (size_t i = 0; i < kButtonIds.size(); ++i) {
    if (!buttons_[i].IsAttached()) buttons_[i].Attach(GetDlgItem(kButtonIds[i]));
  }
}

void CMainDlg::SetCaptionLine(bool signedIn) { ::SetDlgItemTextW(m_hWnd, IDC_CAPTION, CaptionLine(signedIn).c_str()); }

// Selects the entries that match the stored settings; a stored value no entry offers is
// replaced by the default entry's value, so the record says what the lists show.
void CMainDlg::RestoreSettingLists(SettingsRecord& record) {
  const RestoredSettings restored = RestoreSettings(
      {record.intervalSeconds, record.retryCount, record.retryIntervalSeconds, record.emailReminder});
  FillSettingList(intervalList_, kIntervalChoices, restored.intervalIndex);
  FillSettingList(retryCountList_, kRetryCountChoices, restored.retryCountIndex);
  FillSettingList(retryIntervalList_, kRetryIntervalChoices, restored.retryIntervalIndex);
  FillSettingList(emailReminderList_, kEmailReminderChoices, restored.emailReminderIndex);
  record.intervalSeconds = restored.settings.intervalSeconds;
  record.retryCount = restored.settings.retryCount;
  record.retryIntervalSeconds = restored.settings.retryIntervalSeconds;
  record.emailReminder = restored.settings.emailReminder;
}

void CMainDlg::ShowStoredSites() {
  const std::optional<std::wstring> sites = ReadSiteFile(paths_.siteFile);
  ::SetDlgItemTextW(m_hWnd, IDC_SITES, sites ? sites->c_str() : build_config::kDefaultSite);
}

// The large and small icons at the window's DPI; the old ones go once the window has the new.
void CMainDlg::SetWindowIcons() {
  const UINT dpi = win::DpiForWindow(m_hWnd);
  win::Icon big = LoadAppIcon(win::SystemMetricForDpi(SM_CXICON, dpi));
  win::Icon small = LoadAppIcon(win::SystemMetricForDpi(SM_CXSMICON, dpi));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

LRESULT CMainDlg::OnAfterDpiChange(WPARAM, LPARAM) {
  log_.FitColumn();
  return 0;
}

LRESULT CMainDlg::OnDestroy(WPARAM, LPARAM) {
  RaiseFlag(g_bQuit);
  *pollerQuit_ = true;
  run_.Stop();
  SaveSettings();
  WaitForWorkers();
  if (CMessageLoop* loop = _Module.GetMessageLoop()) {
    loop->RemoveMessageFilter(this);
    loop->RemoveIdleHandler(this);
  }
  popup_.Destroy();
  return 0;
}

void CMainDlg::SaveSettings() {
  // The old file stays as it was when the write fails; a developer hears of it in the trace.
  if (!WriteSettingsFile(paths_.settingsFile, settings_->Snapshot())) {
    TraceLog(L"保存设置失败: " + paths_.settingsFile);
  }
}

LRESULT CMainDlg::OnAbout(WPARAM, LPARAM) {
  ShowAboutBox(::GetActiveWindow());
  return 0;
}

LRESULT CMainDlg::OnCancel(WPARAM, LPARAM) {
  DestroyWindow();
  ::PostQuitMessage(2);
  return 0;
}

// "×": the icon goes first, then the window, which closing turns into the cancel command.
LRESULT CMainDlg::OnCloseButton(WPARAM, LPARAM) {
  RemoveTrayIcon();
  ::ShowWindow(m_hWnd, SW_HIDE);
  ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
  return 0;
}

// "－": the tray part hides the minimised window.
LRESULT CMainDlg::OnMinimizeButton(WPARAM, LPARAM) {
  ::ShowWindow(m_hWnd, SW_MINIMIZE);
  return 0;
}

// "∴": the sign-in dialog works on a copy of the record; when it closes, its copy is
// merged into the current record (keeping the three monitoring settings) and saved,
// whatever the outcome. No lock is held while the dialog runs.
LRESULT CMainDlg::OnSignIn(WPARAM, LPARAM) {
  const SettingsRecord snapshot = settings_->Snapshot();
  HWND owner = ::GetActiveWindow();
  const SettingsRecord fromDialog = RunSignInDialog(owner ? owner : m_hWnd, snapshot, machineId_);
  settings_->Update([&](SettingsRecord& record) {
    // A notice shown while the dialog was open keeps its number, so it is not shown again.
    const int32_t newestNotice = std::max(record.lastNoticeId, fromDialog.lastNoticeId);
    record = MergeSignInRecord(record, fromDialog);
    record.lastNoticeId = newestNotice;
  });
  SaveSettings();
  return 0;
}

LRESULT CMainDlg::OnHomePage(WPARAM, LPARAM) {
  OpenHomePage();
  return 0;
}

LRESULT CMainDlg::OnClearLog(WPARAM, LPARAM) {
  log_.Clear();
  return 0;
}

// A press on the window's surface (or on a static text, which passes it on) drags the window.
LRESULT CMainDlg::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  ProcessClientDrag(m_hWnd, WM_LBUTTONDOWN, wParam, lParam, result);
  return result;
}

LRESULT CMainDlg::OnAccountState(WPARAM wParam, LPARAM lParam) {
  const AccountStateAction action =
      DecideAccountState(wParam, reinterpret_cast<const wchar_t*>(lParam), newVersionShown_);
  if (action.setCaption) ::SetDlgItemTextW(m_hWnd, IDC_CAPTION, action.caption.c_str());
  if (action.clearExpireTime) settings_->Update([](SettingsRecord& record) { record.expireTime = 0; });
  if (action.showPopup) ShowPopup(true, 0, action.popupText, action.popupCaption);
  newVersionShown_ = action.newVersionShown;
  return 0;
}

// Logging off or shutting down ends the process without destroying the window: keep the
// settings now, as closing the window would.
LRESULT CMainDlg::OnQueryEndSession(WPARAM, LPARAM) {
  SaveSettings();
  return TRUE;
}

LRESULT CMainDlg::OnEndSession(WPARAM wParam, LPARAM) {
  if (wParam) {
    run_.Stop();
    SaveSettings();
  }
  return 0;
}

// The log's waiting lines are drawn first: a popup's slide holds this thread, and the
// lines it tells of must not appear after it.
void CMainDlg::ShowPopup(bool show, int seconds, const std::wstring& text, const std::wstring& caption) {
  if (show) log_.DrawNow();
  popup_.ShowPopup(show, seconds, text, caption);
}

void CMainDlg::RequestTrayTip(std::wstring tip) {
  if (!trayTipPosted_) trayTipPosted_ = ::PostMessageW(m_hWnd, WM_APPLYTRAYTIP, 0, 0) != FALSE;
  if (trayTipPosted_) {
    requestedTrayTip_ = std::move(tip);
  } else {
    SetTrayTipNow(tip);  // the queue is full: apply it here
  }
}

void CMainDlg::SetTrayTipNow(const std::wstring& tip) {
  requestedTrayTip_.reset();
  SetTrayTip(tip);
}

LRESULT CMainDlg::OnApplyTrayTip(WPARAM, LPARAM) {
  trayTipPosted_ = false;
  if (requestedTrayTip_) SetTrayTipNow(std::wstring(*requestedTrayTip_));
  return 0;
}

void CMainDlg::AddLogLine(const std::wstring& text) { log_.Add(text); }
