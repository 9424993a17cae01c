#include "app/run/monitor_run.h"

#include "account/send_reminder.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "monitor/run_log_lines.h"
#include "monitor/site_check_thread.h"

MonitorRun::MonitorRun(std::shared_ptr<SettingsStore> settings, const std::wstring& machineId, AddLogLine addLogLine)
    : settings_(std::move(settings)), machineId_(machineId), addLogLine_(std::move(addLogLine)) {}

std::wstring MonitorRun::Start(HWND window, const MonitorSettings& settings, const wchar_t* sites) {
  siteList_ = std::make_unique<SiteList>(SiteList::Parse(sites));
  g_bStop = false;
  for (size_t i = 0; i < siteList_->Count(); ++i) {
    const int index = static_cast<int>(i) + 1;
    // The worker gets the address of the record in the deque, which stays in place while
    // records are appended and until the run's end releases them all.
    SiteEntry& entry = records_.emplace_back(MakeSiteEntry(index, settings, window, this, siteList_->Line(i)));
    entry.thread = ::CreateThread(nullptr, 0, &SiteCheckThread, &entry, 0, nullptr);
    workers_.Add(win::KernelHandle(entry.thread));
    addLogLine_(ThreadStartLine(Stamp(), index, entry.thread != nullptr));
  }
  if (records_.empty()) Stamp();  // no worker's line has stamped the time
  addLogLine_(PlainLine(time_, kRunStartedText));
  return siteList_->Join();
}

void MonitorRun::Stop() { RaiseFlag(g_bStop); }

bool MonitorRun::Wait() {
  Stop();
  if (records_.empty()) return true;
  if (!workers_.WaitAll()) return false;
  // Every worker has ended and the waiter has closed the handles.
  records_.clear();
  return true;
}

SiteEntry* MonitorRun::Site(WPARAM index) {
  return index == 0 || index > records_.size() ? nullptr : &records_[index - 1];
}

const SYSTEMTIME& MonitorRun::Stamp() {
  time_ = LocalTimeNow();
  return time_;
}

bool MonitorRun::EmailReminderOn() const { return settings_->Snapshot().emailReminder != 0; }

// Runs on the worker's thread: the request reads the account fields from one snapshot of
// the shared record, and the machine identifier is fixed before any worker starts.
bool MonitorRun::SendReminder(const std::wstring& url, int statusCode, int templateId) {
  return ::SendReminder(*settings_, machineId_, url, statusCode, templateId);
}
