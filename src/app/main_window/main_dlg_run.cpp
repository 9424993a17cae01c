// Starting and stopping a run: Start turns the address box and the four lists into one
// worker per site; Stop (and the window's destruction) ends the workers and waits for
// them while the window keeps handling messages.
#include "app/main_window/main_dlg.h"

#include "app/main_window/setting_lists.h"
#include "monitor/event_outcome.h"
#include "monitor/run_log_lines.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "monitor/site_check_thread.h"
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
  if (!records_.empty()) return 0;

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

  siteList_ = std::make_unique<SiteList>(SiteList::Parse(box));
  const std::wstring joined = siteList_->Join();

  SetRunButtons(false, true);
  g_bStop = false;

  bool stamped = false;
  for (size_t i = 0; i < siteList_->Count(); ++i) {
    const int index = static_cast<int>(i) + 1;
    // The worker gets the address of the record in the deque, which stays in place while
    // records are appended and until the run's end releases them all.
    SiteEntry& entry = records_.emplace_back(MakeSiteEntry(index, settings, m_hWnd, this, siteList_->Line(i)));
    entry.thread = ::CreateThread(nullptr, 0, &SiteCheckThread, &entry, 0, nullptr);
    workers_.Add(win::KernelHandle(entry.thread));
    time_ = LocalTimeNow();
    stamped = true;
    AddLogLine(ThreadStartLine(time_, index, entry.thread != nullptr));
  }
  if (!stamped) time_ = LocalTimeNow();
  AddLogLine(PlainLine(time_, kRunStartedText));

  ::SetDlgItemTextW(m_hWnd, IDC_SITES, joined.c_str());
  if (WriteSiteFile(paths_.siteFile, joined)) {
    ShowPopup(true, kRunStartedNoticeSeconds, kRunStartedNotice, kNoticeCaption);
    ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  }
  return 0;
}

LRESULT CMainDlg::OnStop(WPARAM, LPARAM) {
  RaiseFlag(g_bStop);
  time_ = LocalTimeNow();
  AddLogLine(PlainLine(time_, kStoppingText));
  SetRunButtons(false, false);
  ShowPopup(false, 0, L"", kNoticeCaption);
  SetTrayTipNow(TrayTitle());
  // A wait that finished inside this one (the window was closed meanwhile) has ended the
  // run in its place.
  if (!WaitForWorkers()) return 0;
  // The workers' exit events passed through the tooltip while they ended; an idle
  // program shows the bare title.
  SetTrayTipNow(TrayTitle());
  time_ = LocalTimeNow();
  AddLogLine(PlainLine(time_, kStoppedText));
  return 0;
}

bool CMainDlg::WaitForWorkers() {
  RaiseFlag(g_bStop);
  ::SetThreadExecutionState(ES_CONTINUOUS);
  if (!records_.empty()) {
    if (!workers_.WaitAll()) return false;
    // Every worker has ended and the waiter has closed the handles.
    records_.clear();
  }
  SetRunButtons(true, false);
  return true;
}

void CMainDlg::SetRunButtons(bool startEnabled, bool stopEnabled) {
  ::EnableWindow(GetDlgItem(IDC_START), startEnabled ? TRUE : FALSE);
  ::EnableWindow(GetDlgItem(IDC_STOP), stopEnabled ? TRUE : FALSE);
}
