// The worker's schedule and decisions, driven with a fake clock and scripted checks.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "fake_worker_platform.h"

namespace {

using namespace worker_test;

class WorkerByRetryCount : public ::testing::TestWithParam<int> {};

TEST_P(WorkerByRetryCount, ReportsAFailingSiteEveryRPlusOneAttemptsAndRemindsOnce) {
  const int r = GetParam();
  FakePlatform p;
  p.script = [](int) { return Status(500); };
  p.stopAfterAttempts = 4 * (r + 1) + 1;
  RunWorker(p, Entry(r));
  EXPECT_EQ((std::vector<int>{r + 1, 2 * (r + 1), 3 * (r + 1), 4 * (r + 1)}), p.AttemptsOf(500));
  ASSERT_EQ(1u, p.reminders.size());
  EXPECT_EQ(r + 2, p.reminders[0].attempt);
  EXPECT_EQ(500, p.reminders[0].status);
  EXPECT_EQ(kReminderFailing, p.reminders[0].templateId);
  EXPECT_EQ((std::vector<int>{r + 2}), p.AttemptsOf(EV_MAIL_SENT));
}

TEST_P(WorkerByRetryCount, DownForExactlyRPlusTwoSendsNoRecoveryReminder) {
  const int r = GetParam();
  FakePlatform p;
  p.script = Runs({{r + 2, Status(404)}, {1, Status(200)}});
  p.stopAfterAttempts = (r + 2) + 3 * (r + 2);
  RunWorker(p, Entry(r));
  EXPECT_EQ((std::vector<int>{r + 2}), p.RemindersOf(kReminderFailing));
  EXPECT_TRUE(p.RemindersOf(kReminderRecovered).empty());
}

TEST_P(WorkerByRetryCount, DownForRPlusThreeThenUpRemindsOfBoth) {
  const int r = GetParam();
  FakePlatform p;
  p.script = Runs({{r + 3, Status(503)}, {1, Status(200)}});
  p.stopAfterAttempts = (r + 3) + 3 * (r + 2);
  p.reminderAccepted = false;
  RunWorker(p, Entry(r));
  EXPECT_EQ((std::vector<int>{r + 2}), p.RemindersOf(kReminderFailing));
  // The recovery reminder goes out at the (R + 2)-th good check, and only once.
  EXPECT_EQ((std::vector<int>{(r + 3) + (r + 2)}), p.RemindersOf(kReminderRecovered));
  EXPECT_EQ(200, p.reminders.back().status);
  EXPECT_EQ((std::vector<int>{r + 2, (r + 3) + (r + 2)}), p.AttemptsOf(EV_MAIL_FAILED));
  // Every good check is reported.
  EXPECT_EQ(static_cast<size_t>(3 * (r + 2)), p.AttemptsOf(200).size());
}

TEST_P(WorkerByRetryCount, AFailureBetweenGoodChecksRestartsTheRecoveryCount) {
  const int r = GetParam();
  FakePlatform p;
  const int firstDown = r + 3, firstUp = r + 1;
  p.script = Runs({{firstDown, Status(500)}, {firstUp, Status(200)}, {1, OpenFailed()}, {1, Status(200)}});
  p.stopAfterAttempts = firstDown + firstUp + 1 + 2 * (r + 2);
  RunWorker(p, Entry(r));
  EXPECT_EQ((std::vector<int>{firstDown + firstUp + 1 + (r + 2)}), p.RemindersOf(kReminderRecovered));
  EXPECT_EQ((std::vector<int>{r + 2}), p.RemindersOf(kReminderFailing));
}

TEST_P(WorkerByRetryCount, CountsOpenFailuresAndBadStatusesSeparately) {
  const int r = GetParam();
  {
    // Opens that fail alone: unreachable after every R + 1 of them.
    FakePlatform p;
    p.script = [](int) { return OpenFailed(); };
    p.stopAfterAttempts = 3 * (r + 1);
    RunWorker(p, Entry(r));
    EXPECT_EQ((std::vector<int>{r + 1, 2 * (r + 1), 3 * (r + 1)}), p.AttemptsOf(EV_SITE_UNREACHABLE));
    ASSERT_EQ(1u, p.reminders.size());
    EXPECT_EQ(CODE_CONNECT_FAILED, p.reminders[0].status);
  }
  {
    // Alternating kinds: a good open resets the open counter, so no unreachable report;
    // the status counter keeps counting across failed opens; the fail streak counts both.
    FakePlatform p;
    p.script = [](int attempt) { return attempt % 2 ? OpenFailed() : Status(404); };
    p.stopAfterAttempts = 4 * (r + 1);
    RunWorker(p, Entry(r));
    EXPECT_TRUE(p.AttemptsOf(EV_SITE_UNREACHABLE).empty());
    EXPECT_EQ((std::vector<int>{2 * (r + 1), 4 * (r + 1)}), p.AttemptsOf(404));
    EXPECT_EQ((std::vector<int>{r + 2}), p.RemindersOf(kReminderFailing));
  }
}

INSTANTIATE_TEST_SUITE_P(R, WorkerByRetryCount, ::testing::Values(1, 2, 3));

TEST(SiteCheckWorker, ClassifiesStatuses) {
  struct Case {
    HttpCheckOutcome outcome;
    bool success;
  };
  const Case cases[] = {
      {Status(200), true},  {Status(301), true},  {Status(302), true},  {Status(304), true},
      {Status(150), true},  {Status(600), true},  {Status(0), true},    {Status(404), false},
      {Status(410), false}, {Status(500), false}, {Status(503), false}, {{R::kQueryFailed, 0}, false},
  };
  for (const auto& c : cases) {
    // With R = 1 a failure is reported at the second attempt, a success at the first.
    FakePlatform p;
    p.script = [&](int) { return c.outcome; };
    p.stopAfterAttempts = 2;
    RunWorker(p, Entry(1));
    const std::vector<int> expected = c.success ? std::vector<int>{1, 2} : std::vector<int>{2};
    EXPECT_EQ(expected, p.AttemptsOf(c.outcome.status)) << c.outcome.status;
  }
}

TEST(SiteCheckWorker, FirstCheckAfterIMinusOneSecondsThenRetriesTApart) {
  FakePlatform p;
  p.script = [](int) { return Status(500); };
  p.stopAfterAttempts = 7;
  RunWorker(p, Entry(2, /*interval=*/10, /*retryInterval=*/3));
  // R + 1 = 3 attempts T apart, then a full interval before the next cycle.
  EXPECT_EQ((std::vector<int>{9, 12, 15, 25, 28, 31, 41}), p.checkSeconds);
}

TEST(SiteCheckWorker, GoodChecksComeIntervalApart) {
  FakePlatform p;
  p.stopAfterAttempts = 3;
  RunWorker(p, Entry(3, /*interval=*/5, /*retryInterval=*/2));
  EXPECT_EQ((std::vector<int>{4, 9, 14}), p.checkSeconds);
  EXPECT_EQ((std::vector<int>{1, 2, 3}), p.AttemptsOf(200));
}

TEST(SiteCheckWorker, NetworkDownPausesTheCountdown) {
  FakePlatform p;
  p.networkUp = [](int second) { return second < 2 || second >= 12; };
  p.stopAfterAttempts = 1;
  RunWorker(p, Entry(3, /*interval=*/5));
  std::vector<int> codes;
  for (const auto& e : p.events) codes.push_back(e.code);
  std::vector<int> expected(10, EV_NET_DOWN);
  expected.insert(expected.end(), {EV_NET_UP, 200, EV_THREAD_EXIT});
  EXPECT_EQ(expected, codes);
  // Two seconds counted before the outage, the remaining two after it.
  EXPECT_EQ((std::vector<int>{14}), p.checkSeconds);
}

TEST(SiteCheckWorker, RemindersOffKeepTheSameBookkeeping) {
  const int r = 2;
  FakePlatform p;
  p.script = Runs({{r + 3, Status(500)}, {1, Status(200)}});
  // Off through the failure, on again for the recovery: the recovery reminder still comes
  // at the (R + 2)-th good check.
  p.remindersOn = [&](int attempt) { return attempt > r + 3; };
  p.stopAfterAttempts = (r + 3) + 2 * (r + 2);
  RunWorker(p, Entry(r));
  EXPECT_EQ((std::vector<int>{(r + 3) + (r + 2)}), p.RemindersOf(kReminderRecovered));
  EXPECT_TRUE(p.RemindersOf(kReminderFailing).empty());

  FakePlatform off;
  off.script = p.script;
  off.remindersOn = [](int) { return false; };
  off.stopAfterAttempts = p.stopAfterAttempts;
  RunWorker(off, Entry(r));
  EXPECT_TRUE(off.reminders.empty());
  EXPECT_TRUE(off.AttemptsOf(EV_MAIL_SENT).empty());
  EXPECT_TRUE(off.AttemptsOf(EV_MAIL_FAILED).empty());
}

TEST(SiteCheckWorker, FailedInitialisationIsReportedAndCountsNothing) {
  FakePlatform p;
  // R = 1: the second and third bad statuses around the failed start still make R + 1.
  p.script = Runs({{1, Status(500)}, {1, {R::kInitFailed, 0}}, {1, Status(500)}});
  p.stopAfterAttempts = 3;
  RunWorker(p, Entry(1, /*interval=*/4, /*retryInterval=*/2));
  EXPECT_EQ((std::vector<int>{2}), p.AttemptsOf(EV_NET_INIT_FAILED));
  EXPECT_EQ((std::vector<int>{3}), p.AttemptsOf(500));
  // After the failed start the site waits a full interval, not the retry interval.
  EXPECT_EQ((std::vector<int>{3, 5, 9}), p.checkSeconds);
  EXPECT_TRUE(p.reminders.empty());
  EXPECT_EQ(L"[3]InternetOpen fail!status:21", p.traces[1]);
}

TEST(SiteCheckWorker, AnAbandonedCheckEndsTheWorkerSilently) {
  FakePlatform p;
  p.script = Runs({{2, Status(500)}, {1, {R::kAbandoned, 0}}});
  RunWorker(p, Entry(1));
  ASSERT_EQ(3, p.attempts);
  std::vector<int> codes;
  for (const auto& e : p.events) codes.push_back(e.code);
  EXPECT_EQ((std::vector<int>{500, EV_THREAD_EXIT}), codes);
  EXPECT_TRUE(p.reminders.empty());
}

TEST(SiteCheckWorker, StopAndQuitEndTheWorker) {
  {
    // Quit before the start: nothing but the exit event.
    FakePlatform p;
    p.quit = true;
    RunWorker(p, Entry(1));
    EXPECT_EQ(1u, p.events.size());
    EXPECT_EQ(0, p.second);
  }
  {
    // Stop is seen at the start of the next pass, after the sleep.
    FakePlatform p;
    p.stopAtSecond = 3;
    RunWorker(p, Entry(1, /*interval=*/10));
    EXPECT_EQ(3, p.second);
    EXPECT_EQ(0, p.attempts);
  }
  {
    // Quit is seen at the end of a pass, also while the network is down.
    FakePlatform p;
    p.networkUp = [](int) { return false; };
    SiteEntry entry = Entry(1);
    SiteCheckWorker worker(entry, p, p.stop, p.quit);
    ASSERT_TRUE(worker.Begin());
    EXPECT_TRUE(worker.RunPass());
    p.quit = true;
    EXPECT_FALSE(worker.RunPass());
    worker.Finish();
    EXPECT_EQ(2, p.second);
    EXPECT_EQ(EV_THREAD_EXIT, p.events.back().code);
    EXPECT_EQ(L"线程退出", p.traces.back());
  }
}

TEST(SiteCheckWorker, TracesTheRetryCounterBeforeEachAttempt) {
  FakePlatform p;
  p.script = Runs({{2, Status(500)}, {1, Status(200)}, {1, OpenFailed()}});
  p.stopAfterAttempts = 4;
  RunWorker(p, Entry(2));
  const std::vector<std::wstring> expected = {
      L"[3]Access Failure!  HTTP_STATUS_CODE:500  status:500 ,Error:0",
      L"[3]Access Failure!  HTTP_STATUS_CODE:500  status:500 ,Error:1",
      L"[3]Access Successful!  HTTP_STATUS_CODE:200  status:200 ,Error:2",
      L"[3]InternetOpenUrl fail!status:1",
      L"线程退出",
  };
  EXPECT_EQ(expected, p.traces);
}

TEST(SiteCheckWorker, TracesReminderResultsWithTheAddress) {
  FakePlatform p;
  p.script = Runs({{4, OpenFailed()}, {1, Status(200)}});
  p.stopAfterAttempts = 4 + 3;
  RunWorker(p, Entry(1));
  std::vector<std::wstring> mail;
  for (const auto& t : p.traces)
    if (t.find(L"邮件") != std::wstring::npos) mail.push_back(t);
  const std::vector<std::wstring> expected = {
      L"[3]发送邮件成功!URL:http://site.example/  HTTP_STATUS_CODE:600 ",
      L"[3]发送恢复邮件成功!URL:http://site.example/  HTTP_STATUS_CODE:200 ",
  };
  EXPECT_EQ(expected, mail);
}

}  // namespace
