// Start and Stop in the main window: Start reads the address box and the four lists for
// the run and shows its start; Stop (and the window's destruction) ends the run, which
// waits for its workers while the window keeps handling messages.
#include "app/main_window/main_dlg.h"

#include "app/main_window/setting_lists.h"
#include "monitor/event_outcome.h"
#include "monitor/run_log_lines.h"
#include "storage/site_file.h"

namespace {

// The site box takes part up to this many characters (the buffer holds one more, the NUL).
constexpr int kSiteBoxBuffer = static_cast<int>(kSiteBoxReadLimit) + 1;

constexpr wchar_t kRunStartedNotice[] = L"监控开始运行...";
constexpr int kRunStartedNoticeSeconds = 3;

}  // namespace

LRESULT CMainDlg::OnStart(WPARAM, LPARAM) {
  // Start is disabled while a run lasts; a command that arrives anyway must not add
  // workers to a run that is still going or being waited for.
  if (run_.Running()) return 0;

  const ChosenSetting interval = ReadSettingList(intervalList_, kIntervalChoices);
  const ChosenSetting retryCount = ReadSettingList(retryCountList_, kRetryCountChoices);
  const ChosenSetting retryInterval = ReadSettingList(retryIntervalList_, kRetryIntervalChoices);
  const ChosenSetting emailReminder = ReadSettingList(emailReminderList_, kEmailReminderChoices);

  wchar_t box[kSiteBoxBuffer] = {};
  ::GetDlgItemTextW(m_hWnd, IDC_SITES, box, kSiteBoxBuffer);
  if (box[0] == L'\0') return 0;

  const MonitorSettings settings{interval.value, retryCount.value, retryInterval.value, emailReminder.value};
  settings_->Update([&settings](SettingsRecord& record) {
    record.intervalSeconds = settings.intervalSeconds;
    record.retryCount = settings.retryCount;
    record.retryIntervalSeconds = settings.retryIntervalSeconds;
    record.emailReminder = settings.emailReminder;
  });

  SetRunButtons(false, true);
  const std::wstring joined = run_.Start(m_hWnd, settings, box);
  ::SetDlgItemTextW(m_hWnd, IDC_SITES, joined.c_str());
  if (WriteSiteFile(paths_.siteFile, joined)) {
    ShowPopup(true, kRunStartedNoticeSeconds, kRunStartedNotice, kNoticeCaption);
    ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  }
  return 0;
}

LRESULT CMainDlg::OnStop(WPARAM, LPARAM) {
  run_.Stop();
  AddLogLine(PlainLine(run_.Stamp(), kStoppingText));
  SetRunButtons(false, false);
  ShowPopup(false, 0, L"", kNoticeCaption);
  SetTrayTipNow(TrayTitle());
  // A wait that finished inside this one (the window was closed meanwhile) has ended the
  // run in its place.
  if (!WaitForWorkers()) return 0;
  // The workers' exit events passed through the tooltip while they ended; an idle
  // program shows the bare title.
  SetTrayTipNow(TrayTitle());
  AddLogLine(PlainLine(run_.Stamp(), kStoppedText));
  return 0;
}

bool CMainDlg::WaitForWorkers() {
  ::SetThreadExecutionState(ES_CONTINUOUS);
  if (!run_.Wait()) return false;
  SetRunButtons(true, false);
  return true;
}

void CMainDlg::SetRunButtons(bool startEnabled, bool stopEnabled) {
  ::EnableWindow(GetDlgItem(IDC_START), startEnabled ? TRUE : FALSE);
  ::EnableWindow(GetDlgItem(IDC_STOP), stopEnabled ? TRUE : FALSE);
}
