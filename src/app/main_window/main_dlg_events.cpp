// The workers' events in the main window: each becomes a run-log line, perhaps a popup,
// and the tray tooltip.
#include "app/main_window/main_dlg.h"

#include "monitor/event_outcome.h"
#include "monitor/run_log_lines.h"

LRESULT CMainDlg::OnMonitorEvent(WPARAM wParam, LPARAM lParam) {
  // Events of a run whose records are gone (or of no site at all) are dropped.
  SiteEntry* site = run_.Site(wParam);
  if (!site) return 0;
  const int index = static_cast<int>(wParam);
  const int code = static_cast<int>(lParam);

  const EventOutcome outcome = DescribeEvent(code, site->lastCode, index, site->url, run_.Stamp());
  site->lastCode = outcome.lastCode;
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
