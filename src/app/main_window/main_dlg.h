// The main window: the address box, the four setting lists, Start and Stop, the run log,
// the caption line and the caption buttons, the tray icon and the notification popup.
// It owns the settings record, the machine identifier and the run (MonitorRun), and keeps
// the routing of messages, the view and the tray. Created modeless from template 129 by
// the shell; everything here runs on the user-interface thread.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "app/main_window/run_log_view.h"
#include "app/main_window/shell_icon.h"
#include "app/run/monitor_run.h"
#include "res/resource.h"
#include "storage/data_paths.h"
#include "storage/settings_store.h"
#include "ui/button_bt.h"
#include "ui/ctrl_color.h"
#include "ui/paint_bkgnd.h"
#include "ui/popup_host.h"
#include "ui/skin_colors.h"
#include "win/dialog_impl.h"
#include "win/message_loop.h"
#include "win/unique_handle.h"

class CMainDlg : public win::DialogImpl<CMainDlg>,
                 public CMessageFilter,
                 public CIdleHandler,
                 public CShellIcon<CMainDlg, CAppIconMenu<CMainDlg, IDR_TRAYMENU>, IDR_TRAYMENU>,
                 public CPaintBkgnd<CMainDlg, kMainBackground>,
                 public CCtrlColor<CMainDlg, 0, kWhite, kMainBackground> {
 public:
  enum { IDD = IDD_MAINDLG };

  // Makes the data folder "TarnSiteMonitor" (with its "GetLog" subfolder) under
  // dataBaseFolder, the user's application-data folder unless another is given.
  CMainDlg();
  explicit CMainDlg(const std::wstring& dataBaseFolder);
  ~CMainDlg() override;

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // The message loop's filter: the dialog's keyboard handling for the main window.
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnIdle() override;

  // The settings record, shared with the account threads.
  const std::shared_ptr<SettingsStore>& Settings() const { return settings_; }
  // The machine identifier; fixed once the window is initialised, so any thread may read it.
  const std::wstring& MachineId() const { return machineId_; }
  const DataPaths& Paths() const { return paths_; }

  // The notification popup: show (for seconds, 0 = 60) or hide; a non-empty text or
  // caption replaces both texts.
  void ShowPopup(bool show, int seconds, const std::wstring& text, const std::wstring& caption);
  PopupHost& Popup() { return popup_; }

  // Puts text on top of the run log.
  void AddLogLine(const std::wstring& text);
  RunLogView& RunLog() { return log_; }

  // Stores the settings record in Config.dat.
  void SaveSettings();

 private:
  // Handlers, in the order of the message map.
  LRESULT OnInitDialog(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnAbout(WPARAM, LPARAM);
  LRESULT OnStart(WPARAM, LPARAM);
  LRESULT OnStop(WPARAM, LPARAM);
  LRESULT OnCancel(WPARAM, LPARAM);
  LRESULT OnCloseButton(WPARAM, LPARAM);
  LRESULT OnMinimizeButton(WPARAM, LPARAM);
  LRESULT OnSignIn(WPARAM, LPARAM);
  LRESULT OnHomePage(WPARAM, LPARAM);
  LRESULT OnClearLog(WPARAM, LPARAM);
  LRESULT OnLButtonDown(WPARAM, LPARAM);
  LRESULT OnMonitorEvent(WPARAM, LPARAM);
  LRESULT OnAccountState(WPARAM, LPARAM);
  LRESULT OnQueryEndSession(WPARAM, LPARAM);
  LRESULT OnEndSession(WPARAM, LPARAM);
  LRESULT OnApplyTrayTip(WPARAM, LPARAM);
  LRESULT OnDpiChanged(WPARAM, LPARAM);
  LRESULT OnAfterDpiChange(WPARAM, LPARAM);
  bool ProcessRunLogNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Initialisation steps.
  void AttachButtons();
  void RestoreSettingLists(SettingsRecord& record);
  void ShowStoredSites();
  void SetWindowIcons();
  void SetCaptionLine(bool signedIn);

  // Ends the run (MonitorRun::Wait) and puts the buttons back; false when a wait started
  // inside this one (the window closed meanwhile) finished the run instead.
  bool WaitForWorkers();
  void SetRunButtons(bool startEnabled, bool stopEnabled);

  // The tooltip for a status. The shell call behind it waits on another process, and
  // while it waits the workers' synchronous messages are handled: an event handler that
  // set the tooltip itself would nest once per waiting worker. So events leave the text
  // here and one posted message applies the latest.
  void RequestTrayTip(std::wstring tip);
  // Sets the tooltip now and forgets any requested one.
  void SetTrayTipNow(const std::wstring& tip);

  // The seven owner-drawn buttons, by control: Start, Stop, ×, －, ∴, ≒, 清空日志.
  static constexpr std::array<int, 7> kButtonIds{IDC_START, IDC_STOP, IDC_CLOSE, IDC_MINIMIZE,
                                                 IDC_SIGN_IN, IDC_HOME_PAGE, IDC_CLEAR_LOG};

  PopupHost popup_;
  bool newVersionShown_ = false;        // the new-version notice has been shown this run
  std::array<CButtonBT, kButtonIds.size()> buttons_;
  RunLogView log_;
  HWND intervalList_ = nullptr;
  HWND retryCountList_ = nullptr;
  HWND retryIntervalList_ = nullptr;
  HWND emailReminderList_ = nullptr;
  std::wstring machineId_;
  std::shared_ptr<SettingsStore> settings_;  // shared with the account threads and the run
  MonitorRun run_{settings_, machineId_, [this](const std::wstring& line) { AddLogLine(line); }};
  // Raised when the window goes: ends this window's service-information poller.
  std::shared_ptr<std::atomic<bool>> pollerQuit_ = std::make_shared<std::atomic<bool>>(false);
  DataPaths paths_;
  std::optional<std::wstring> requestedTrayTip_;
  bool trayTipPosted_ = false;          // a WM_APPLYTRAYTIP is in the queue
  win::Icon bigIcon_;
  win::Icon smallIcon_;
};
