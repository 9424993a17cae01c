// The decisions of a site-check worker: counting down to each check, classifying its
// outcome, retrying, reporting and asking for e-mail reminders. Everything it needs of
// the platform goes through WorkerPlatform, so tests drive it with a fake clock.
#pragma once

#include <atomic>
#include <string>

#include "monitor/http_check_result.h"
#include "monitor/site_entry.h"

class WorkerPlatform {
 public:
  virtual ~WorkerPlatform() = default;
  virtual bool IsNetworkUp() = 0;
  // One request for the address; kAbandoned when the run ended while it was under way.
  virtual HttpCheckOutcome CheckSite(const std::wstring& url) = 0;
  virtual void SleepTick() = 0;             // one second
  virtual void PostEvent(int code) = 0;     // to the main window, without waiting
  virtual void SendEvent(int code) = 0;     // to the main window, waiting until handled
  virtual bool EmailReminderOn() = 0;       // read at the moment of each decision
  virtual bool SendReminder(const std::wstring& url, int status, int templateId) = 0;
  virtual void Trace(const std::wstring& text) = 0;
};

inline constexpr int kReminderFailing = 1;    // reminder template: the site is failing
inline constexpr int kReminderRecovered = 2;  // reminder template: the site is back up

class SiteCheckWorker {
 public:
  // The entry's index, interval, retry count, retry interval and url are copied; stop and
  // quit are the run's flags (g_bStop, g_bQuit in the program) and must outlive the worker.
  SiteCheckWorker(const SiteEntry& entry, WorkerPlatform& platform, const std::atomic<bool>& stop,
                  const std::atomic<bool>& quit);

  // The worker's whole life: passes until a flag ends it, then the exit steps.
  void Run();

  // The same in steps, for tests: Begin (false when quit is already set), RunPass while it
  // returns true, then Finish.
  bool Begin();
  bool RunPass();
  void Finish();

 private:
  // Outcome of one check for the pass that ran it.
  enum class CheckEnd { kContinue, kExit };
  CheckEnd RunCheck();
  void OnOpenFailed();
  void OnSuccess();
  void OnFailure();
  // Counts a failed attempt of one kind; true when its retry cycle is complete.
  bool CountFailedAttempt(int& retries);
  void Remind();
  void RequestReminder(int templateId);
  std::wstring Tag() const;  // "[index]" in front of a trace line

  const int index_;
  const int interval_;       // I
  const int retryCount_;     // R
  const int retryInterval_;  // T
  const std::wstring url_;
  WorkerPlatform& platform_;
  const std::atomic<bool>& stop_;
  const std::atomic<bool>& quit_;

  int checkCountdown_ = 0;      // seconds until the next check
  int nextCheckCountdown_ = 0;  // loaded after a check: I, or T while retrying
  bool networkDown_ = false;    // the previous pass found the network down
  int httpRetries_ = 0;         // failed statuses in the current retry cycle
  int openRetries_ = 0;         // failed opens in the current retry cycle
  int failStreak_ = 0;          // failed attempts of either kind since the last success
  bool recovering_ = false;     // a long failure ended; successes are being counted
  int successStreak_ = 0;       // successes counted while recovering
  int lastStatus_ = 0;          // status of the latest attempt; 600 when it did not open
};
