// The workers' events in the main window: each becomes a run-log line, perhaps a popup,
// and the tray tooltip; and what the workers ask of their owner.
#include "app/main_window/main_dlg.h"

#include "monitor/event_outcome.h"
#include "monitor/run_log_lines.h"
#include "account/send_reminder.h"

LRESULT CMainDlg::OnMonitorEvent(WPARAM wParam, LPARAM lParam) {
  // Events of a run whose records are gone (or of no site at all) are dropped.
  if (wParam == 0 || wParam > records_.size()) return 0;
  const int index = static_cast<int>(wParam);
  const int code = static_cast<int>(lParam);
  SiteEntry& site = records_[wParam - 1];

  time_ = LocalTimeNow();
  const EventOutcome outcome = DescribeEvent(code, site.lastCode, index, site.url, time_);
  site.lastCode = outcome.lastCode;
  const auto showPopup = [&] {
    if (outcome.popup) ShowPopup(true, outcome.popup->seconds, outcome.popup->text, kNoticeCaption);
  };
  // The line is in the log before the popup shows it (the network's return: after), and
  // the tooltip follows once this handler has returned.
  if (outcome.popupFirst) showPopup();
  if (outcome.logLine) log_.Add(*outcome.logLine);
  if (!outcome.popupFirst) showPopup();
  if (outcome.trayTip) RequestTrayTip(*outcome.trayTip);
  return 0;
}

bool CMainDlg::EmailReminderOn() const { return settings_->Snapshot().emailReminder != 0; }

// Runs on the worker's thread: the request reads the account fields from one snapshot of
// the shared record, and the machine identifier is fixed before any worker starts.
bool CMainDlg::SendReminder(const std::wstring& url, int statusCode, int templateId) {
  return ::SendReminder(*settings_, machineId_, url, statusCode, templateId);
}
