// A scripted platform for the site-check worker: a fake clock, scripted check outcomes and
// network states, and a record of every event, reminder and trace line.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "monitor/monitor_events.h"
#include "monitor/site_check_worker.h"

namespace worker_test {

using R = HttpCheckResult;

inline HttpCheckOutcome Status(int status) { return {R::kStatusRead, status}; }
inline HttpCheckOutcome OpenFailed() { return {R::kOpenFailed, 0}; }

struct Event {
  int attempt;  // checks made when the event was issued
  int second;   // fake clock when the event was issued
  int code;
  bool sent;    // sent synchronously rather than posted
};

struct Reminder {
  int attempt;
  int status;
  int templateId;
};

// A platform with a clock that moves only when the worker sleeps. Checks follow a script
// (the outcome of the n-th check, n from 1); the run stops after stopAfterAttempts checks
// or stopAtSecond seconds, whichever comes first.
class FakePlatform : public WorkerPlatform {
 public:
  std::function<HttpCheckOutcome(int attempt)> script = [](int) { return Status(200); };
  std::function<bool(int second)> networkUp = [](int) { return true; };
  std::function<bool(int attempt)> remindersOn = [](int) { return true; };
  bool reminderAccepted = true;
  int stopAfterAttempts = 1 << 30;
  int stopAtSecond = 1 << 30;

  std::atomic<bool> stop{false};
  std::atomic<bool> quit{false};
  int second = 0;
  int attempts = 0;
  std::vector<int> checkSeconds;
  std::vector<Event> events;
  std::vector<Reminder> reminders;
  std::vector<std::wstring> traces;

  bool IsNetworkUp() override { return networkUp(second); }
  HttpCheckOutcome CheckSite(const std::wstring&) override {
    ++attempts;
    checkSeconds.push_back(second);
    if (attempts >= stopAfterAttempts) stop = true;
    return script(attempts);
  }
  void SleepTick() override {
    if (++second >= stopAtSecond) stop = true;
  }
  void PostEvent(int code) override { events.push_back({attempts, second, code, false}); }
  void SendEvent(int code) override { events.push_back({attempts, second, code, true}); }
  bool EmailReminderOn() override { return remindersOn(attempts); }
  bool SendReminder(const std::wstring&, int status, int templateId) override {
    reminders.push_back({attempts, status, templateId});
    return reminderAccepted;
  }
  void Trace(const std::wstring& text) override { traces.push_back(text); }

  // Attempts at which an event with this code was posted.
  std::vector<int> AttemptsOf(int code) const {
    std::vector<int> out;
    for (const auto& e : events)
      if (e.code == code && !e.sent) out.push_back(e.attempt);
    return out;
  }
  std::vector<int> RemindersOf(int templateId) const {
    std::vector<int> out;
    for (const auto& r : reminders)
      if (r.templateId == templateId) out.push_back(r.attempt);
    return out;
  }
};

inline SiteEntry Entry(int retryCount, int interval = 1, int retryInterval = 1) {
  MonitorSettings settings{interval, retryCount, retryInterval, 1};
  return MakeSiteEntry(3, settings, nullptr, nullptr, L"http://site.example/");
}

inline void RunWorker(FakePlatform& platform, const SiteEntry& entry) {
  SiteCheckWorker worker(entry, platform, platform.stop, platform.quit);
  worker.Run();
  ASSERT_FALSE(platform.events.empty());
  EXPECT_EQ(EV_THREAD_EXIT, platform.events.back().code);
  EXPECT_TRUE(platform.events.back().sent);
  for (size_t i = 0; i + 1 < platform.events.size(); ++i) EXPECT_FALSE(platform.events[i].sent);
}

// Outcome script made of runs: {count, outcome}, repeated from the last run on.
inline std::function<HttpCheckOutcome(int)> Runs(std::vector<std::pair<int, HttpCheckOutcome>> runs) {
  return [runs](int attempt) {
    for (const auto& [count, outcome] : runs) {
      if (attempt <= count) return outcome;
      attempt -= count;
    }
    return runs.back().second;
  };
}

}  // namespace worker_test
