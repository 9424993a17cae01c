// One run of the monitor: the site list of the last Start, a record and a worker thread per
// site, the time of the latest log line, and the end of the run, which waits for the
// workers. The main window owns it, reads the settings and the address box for it and
// shows what it reports. User-interface thread only, except the SiteOwner functions, which
// the workers call on their own threads.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/run/worker_waiter.h"
#include "monitor/monitor_settings.h"
#include "monitor/site_entry.h"
#include "monitor/site_list.h"
#include "monitor/site_owner.h"
#include "storage/settings_store.h"

class MonitorRun : public SiteOwner {
 public:
  using AddLogLine = std::function<void(const std::wstring&)>;

  // `machineId` is the owner's, fixed before any run starts; `addLogLine` puts a line on
  // top of the owner's run log.
  MonitorRun(std::shared_ptr<SettingsStore> settings, const std::wstring& machineId, AddLogLine addLogLine);
  MonitorRun(const MonitorRun&) = delete;
  MonitorRun& operator=(const MonitorRun&) = delete;

  // True from Start until the end of the wait that ends the run.
  bool Running() const { return !records_.empty(); }

  // Starts one worker per line of `sites` that posts its events to `window`, logging each
  // worker's start and then the run's; the site list joined as it is shown and saved.
  // Clears the stop flag first.
  std::wstring Start(HWND window, const MonitorSettings& settings, const wchar_t* sites);
  // Raises the stop flag: the workers end at their next look at it.
  void Stop();
  // Stops the run and waits for its workers while this thread's messages keep flowing;
  // the records go once every worker has ended. False when a wait started inside this one
  // (the window closed meanwhile) ended the run instead, and the caller must leave it alone.
  bool Wait();

  // The record of the site a worker's event names (numbered from 1), or nullptr for an
  // event of no site of this run.
  SiteEntry* Site(WPARAM index);
  // The time of a new log line: now, kept as the run's latest.
  const SYSTEMTIME& Stamp();

  // SiteOwner, called from the workers' threads.
  bool EmailReminderOn() const override;
  bool SendReminder(const std::wstring& url, int statusCode, int templateId) override;

 private:
  const std::shared_ptr<SettingsStore> settings_;  // shared with the account threads
  const std::wstring& machineId_;  // the owner's, which outlives the run
  const AddLogLine addLogLine_;
  std::unique_ptr<SiteList> siteList_;  // the list of the last Start
  SYSTEMTIME time_{};                   // the time of the latest log line
  std::deque<SiteEntry> records_;       // the current run's sites; never moves while workers run
  WorkerWaiter workers_;                // the current run's worker threads
};
