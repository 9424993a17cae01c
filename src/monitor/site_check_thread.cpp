#include "monitor/site_check_thread.h"

#include "build_config.h"
#include "monitor/http_check.h"
#include "monitor/monitor_events.h"
#include "monitor/network_state.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "flags/process_seams.h"
#include "monitor/site_check_worker.h"
#include "monitor/site_entry.h"
#include "monitor/trace_log.h"

namespace {

class WinInetWorkerPlatform final : public WorkerPlatform {
 public:
  explicit WinInetWorkerPlatform(const SiteEntry& entry) : entry_(entry) {}

  bool IsNetworkUp() override { return IsNetworkUpShared(); }

  HttpCheckOutcome CheckSite(const std::wstring& url) override {
    return RunAbandonableCheck(url, build_config::kRequestTimeoutMs, g_bStop, g_bQuit);
  }

  void SleepTick() override {
    const unsigned long tick = WorkerTickMilliseconds();
    if (postedSinceTick_) {
      // The worker's exit is sent, and the window takes a sent message before the posted
      // ones it still has queued. A worker that has just posted an event gives the window
      // its whole tick to take it, so that at Stop the log keeps the order of events.
      postedSinceTick_ = false;
      Sleep(tick);
    } else {
      WaitUnlessRaised(tick, g_bStop, g_bQuit);
    }
  }

  void PostEvent(int code) override {
    postedSinceTick_ = true;
    PostMessageW(entry_.window, WM_MONITOREVENT, static_cast<WPARAM>(entry_.index), static_cast<LPARAM>(code));
  }

  void SendEvent(int code) override {
    SendMessageW(entry_.window, WM_MONITOREVENT, static_cast<WPARAM>(entry_.index), static_cast<LPARAM>(code));
  }

  bool EmailReminderOn() override { return entry_.owner && entry_.owner->EmailReminderOn(); }

  bool SendReminder(const std::wstring& url, int status, int templateId) override {
    return entry_.owner && entry_.owner->SendReminder(url, status, templateId);
  }

  void Trace(const std::wstring& text) override { TraceLog(text); }

 private:
  const SiteEntry& entry_;
  bool postedSinceTick_ = false;
};

}  // namespace

DWORD WINAPI SiteCheckThread(LPVOID param) noexcept {
  const auto* entry = static_cast<const SiteEntry*>(param);
  if (!entry) return 0;
  try {
    WinInetWorkerPlatform platform(*entry);
    SiteCheckWorker worker(*entry, platform, g_bStop, g_bQuit);
    worker.Run();
  } catch (...) {
    // Nothing may leave a thread entry; the window waits on the thread handle, which
    // ends here either way.
  }
  return 0;
}

unsigned long WorkerTickMilliseconds() {
  unsigned long (*const tick)() = Seams().workerTick.load();
  return tick ? tick() : 1000;
}
