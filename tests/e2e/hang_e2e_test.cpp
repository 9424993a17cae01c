// The real program while the network hangs: sites that accept a connection and never
// answer, or answer one byte a second, and an account service that never answers. The
// window must keep answering, and Stop and closing must end the run and the program,
// whatever the requests under way are doing. How long they take is printed ([measured]
// lines), never asserted: the goals (two seconds to stop or close, half a second for the
// window to answer) are figures for the benchmark's table.
//
// The workers of the programs tick every 100 ms, so a program's first check comes about
// 3 s after Start and a reminder about 5 s after; the service-information request comes
// 9 s after a program starts and the reminder's attempts are 10 s apart. The programs of
// all cases are started together when the suite begins and each case then waits for its
// own program's moment. The test build of the program reaches its
// account service at 127.0.0.1:TARN_TEST_SERVICE_PORT, where this test listens.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "local_http_server.h"
#include "program_driver.h"
#include "res/resource.h"
#include "window_probes.h"

namespace {

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::ModeReply;
using test_support::StatusReply;

constexpr unsigned long kTickMs = 100;     // the programs' workers' tick
constexpr DWORD kFirstCheckWaitMs = 60000; // the first check comes ~29 ticks after Start
constexpr DWORD kReminderWaitMs = 120000;  // the failing reminder comes ~50 ticks after Start

constexpr wchar_t kStoppedLine[] = L" 监控停止!";

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The monitored sites: "/<case>/hang" never answers, "/<case>/dribble" sends a 200 one
// byte a second, "/<case>/fail" answers 500 at once.
HttpReply SiteReply(const HttpRequest& request) {
  if (EndsWith(request.target, "/hang")) return ModeReply(HttpReply::Mode::kHang);
  if (EndsWith(request.target, "/dribble")) return ModeReply(HttpReply::Mode::kDribble);
  return StatusReply(500);
}

// When the first reminder about the "/closing-refused/" site came.
std::atomic<ULONGLONG> g_closingReminderAt{0};

// The account service never answers, except a reminder about a "...refused/" site, which
// it refuses at once.
HttpReply AccountServiceReply(const HttpRequest& request) {
  if (request.target.find("a=sendMsg") != std::string::npos &&
      request.body.find("refused/") != std::string::npos) {
    if (request.body.find("/closing-refused/") != std::string::npos) {
      ULONGLONG none = 0;
      g_closingReminderAt.compare_exchange_strong(none, NowMs());
    }
    return StatusReply(200, "{\"status\":0,\"info\":\"no\"}");
  }
  return ModeReply(HttpReply::Mode::kHang);
}

size_t CountRequests(const LocalHttpServer& server, const std::string& targetPart, const std::string& bodyPart = "") {
  size_t count = 0;
  for (const HttpRequest& request : server.Requests()) {
    if (request.target.find(targetPart) != std::string::npos && request.body.find(bodyPart) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

bool TopLineEndsWith(const ProgramDriver& program, const std::wstring& ending) {
  const auto log = program.Log();
  return !log.empty() && log[0].ends_with(ending);
}

void Report(const char* what, ULONGLONG ms) {
  std::printf("[measured] %s: %llu ms\n", what, ms);
  testing::Test::RecordProperty(what, std::to_string(ms));
}

// Every program of the suite, started together, with the servers they talk to.
struct Scene {
  Scene()
      : surroundings(kTickMs), service(&AccountServiceReply, TARN_TEST_SERVICE_PORT), sites(&SiteReply) {
    // All programs share one data folder of the test's own, without stored settings or sites.
    const std::wstring exe = ProgramBesideTest(L"TarnSiteMonitorLoopback.exe");
    started = signIn.Start(exe) && stop.Start(exe);
    stopShownAt = NowMs();
    started = started && close.Start(exe) && hungReminder.Start(exe) && refusedReminder.Start(exe) &&
              closingReminder.Start(exe);
    if (!started) return;
    StartRun(stop, Site("/stop/hang") + L"\r\n" + Site("/stop/dribble"), false);
    StartRun(close, Site("/close/hang") + L"\r\n" + Site("/close/dribble"), false);
    StartRun(hungReminder, Site("/hung/fail"), true);
    StartRun(refusedReminder, Site("/refused/fail"), true);
    StartRun(closingReminder, Site("/closing-refused/fail"), true);
  }

  std::wstring Site(const std::string& path) const { return sites.Url(path); }

  // Checks every 30 ticks, one retry 10 ticks after a failure (the shortest settings), so
  // a failing site is reported at its 2nd attempt and reminded of at its 3rd.
  static void StartRun(ProgramDriver& program, const std::wstring& addresses, bool reminders) {
    program.Select(IDC_INTERVAL, 0);        // "30秒"
    program.Select(IDC_RETRY_COUNT, 0);     // "1次"
    program.Select(IDC_RETRY_INTERVAL, 0);  // "10秒"
    program.Select(IDC_EMAIL_REMINDER, reminders ? 1 : 0);
    program.SetText(IDC_SITES, addresses);
    program.Click(IDC_START);
  }

  ProgramSurroundings surroundings;  // first made, last gone: the programs end before it
  LocalHttpServer service;
  LocalHttpServer sites;
  ULONGLONG stopShownAt = 0;  // the "stop" program's service-information thread runs by then
  bool started = false;
  ProgramDriver signIn;           // signs in; no run
  ProgramDriver stop;             // hanging checks, then Stop, then close
  ProgramDriver close;            // hanging checks, then close
  ProgramDriver hungReminder;     // a reminder that hangs, then close
  ProgramDriver refusedReminder;  // a refused reminder, Stop during its attempts
  ProgramDriver closingReminder;  // a refused reminder, close between its attempts
};

class ProgramUnderHangs : public testing::Test {
 protected:
  static void SetUpTestSuite() { scene_ = std::make_unique<Scene>(); }
  static void TearDownTestSuite() { scene_.reset(); }

  void SetUp() override {
    ASSERT_EQ(scene_->service.Port(), TARN_TEST_SERVICE_PORT) << "the service port is taken";
    ASSERT_TRUE(scene_->started) << "a program did not show its window";
  }

  // Closes the program with Esc or WM_CLOSE: it must end with exit code 2 (the cancel
  // command).
  static void ExpectExit(ProgramDriver& program, bool escape, const char* what) {
    const ULONGLONG start = NowMs();
    if (escape) {
      // Through the program's own message loop, as the user presses it.
      ::PostMessageW(program.Control(IDC_START), WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
      ::PostMessageW(program.Window(), WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(program.WaitForExit(30000), 2);
    Report(what, NowMs() - start);
  }

  // Waits until the case's two sites have been asked for their pages: from then on one
  // check hangs and the other receives a byte a second.
  static bool WaitForHangingChecks(const std::string& caseName) {
    return WaitUntil(
        [&] {
          return CountRequests(scene_->sites, "/" + caseName + "/hang") == 1 &&
                 CountRequests(scene_->sites, "/" + caseName + "/dribble") == 1;
        },
        kFirstCheckWaitMs);
  }

  // Probes the window every 50 ms for a while and checks that it always answered.
  static void ExpectAnswering(HWND window, DWORD forMs, const char* what) {
    ResponseWatch watch(window);
    WaitUntil([] { return false; }, forMs, &watch);
    Report(what, watch.WorstMs());
    EXPECT_EQ(watch.Misses(), 0);
  }

  static std::unique_ptr<Scene> scene_;
};

std::unique_ptr<Scene> ProgramUnderHangs::scene_;

TEST_F(ProgramUnderHangs, SignInDialogAndProgramCloseAtOnceWhileTheSignInHangs) {
  ProgramDriver& program = scene_->signIn;
  // The dialog is modal: its button's handler returns only when the dialog has closed.
  PostClick(program.Control(IDC_SIGN_IN));
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindOtherWindowWithControl(program.Window(), IDC_LOGIN_PASSWORD)); },
                        10000));
  const std::wstring user = L"tester@example.com";
  const std::wstring password = L"secret12";
  ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN_USER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(user.c_str()));
  ::SendMessageW(::GetDlgItem(dialog, IDC_LOGIN_PASSWORD), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(password.c_str()));
  ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return CountRequests(scene_->service, "a=login") == 1; }, 10000));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDOK))) << "the sign-in should still be under way";

  ResponseWatch watch(dialog);
  const ULONGLONG start = NowMs();
  PostClick(::GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 30000, &watch));
  Report("sign-in dialog close while the sign-in hangs", NowMs() - start);
  ExpectAnswering(program.Window(), 500, "main window answer after the dialog closed (worst)");

  ExpectExit(program, false, "program exit while the sign-in hangs");
}

TEST_F(ProgramUnderHangs, StopAndCloseWhileChecksAndServiceInformationHang) {
  ProgramDriver& program = scene_->stop;
  ASSERT_TRUE(WaitForHangingChecks("stop"));
  // Every program asks for the service information 9 s after its window is made; none
  // gets an answer, and the request times out only 30 s after it was made.
  ASSERT_TRUE(WaitUntil([] { return CountRequests(scene_->service, "a=getInfo") >= 1; }, 30000));
  ExpectAnswering(program.Window(), 1000, "window answer while checks hang (worst)");

  ResponseWatch watch(program.Window());
  const ULONGLONG start = NowMs();
  PostClick(program.Control(IDC_STOP));
  ASSERT_TRUE(WaitUntil([&] { return TopLineEndsWith(program, kStoppedLine); }, 30000, &watch));
  Report("stop while checks hang", NowMs() - start);
  EXPECT_TRUE(program.Enabled(IDC_START));
  EXPECT_FALSE(program.Enabled(IDC_STOP));
  EXPECT_EQ(watch.Misses(), 0);

  ASSERT_LT(NowMs() - scene_->stopShownAt, 38000u) << "too late: the information request has timed out";
  ExpectExit(program, false, "program exit while the service information request hangs");
}

TEST_F(ProgramUnderHangs, ClosingWhileChecksHang) {
  ProgramDriver& program = scene_->close;
  ASSERT_TRUE(WaitForHangingChecks("close"));
  ExpectAnswering(program.Window(), 500, "window answer while checks hang, second program (worst)");
  ExpectExit(program, true, "program exit (Esc) while checks hang");
}

TEST_F(ProgramUnderHangs, ClosingWhileAReminderHangs) {
  ProgramDriver& program = scene_->hungReminder;
  ASSERT_TRUE(WaitUntil([&] { return CountRequests(scene_->service, "a=sendMsg", "/hung/fail") == 1; },
                        kReminderWaitMs));
  // The site was reported failing at its second attempt; the reminder comes at the third.
  EXPECT_EQ(CountRequests(scene_->sites, "/hung/fail"), 3u);
  ExpectAnswering(program.Window(), 1500, "window answer while a reminder hangs (worst)");
  ExpectExit(program, false, "program exit while a reminder hangs");
}

TEST_F(ProgramUnderHangs, ClosingBetweenAReminderAttemptsEndsWithin2s) {
  ProgramDriver& program = scene_->closingReminder;
  ASSERT_TRUE(WaitUntil([] { return g_closingReminderAt != 0; }, kReminderWaitMs));
  // After a refused attempt the reminder waits in one-second steps before the next; the
  // slowest moment to close is just after such a step has begun.
  const ULONGLONG refusedAt = g_closingReminderAt;
  ULONGLONG closeAt = refusedAt + 1030;
  while (closeAt < NowMs()) closeAt += 1000;
  ASSERT_LT(closeAt, refusedAt + 8000) << "too late: the next attempt is due";
  while (NowMs() < closeAt) ::Sleep(1);
  ExpectExit(program, false, "program exit between a reminder's attempts");
  EXPECT_EQ(CountRequests(scene_->service, "a=sendMsg", "/closing-refused/"), 1u);
}

TEST_F(ProgramUnderHangs, StopLetsARefusedReminderMakeAllItsAttempts) {
  ProgramDriver& program = scene_->refusedReminder;
  ASSERT_TRUE(WaitUntil([&] { return CountRequests(scene_->service, "a=sendMsg", "/refused/") >= 1; },
                        kReminderWaitMs));
  ASSERT_LT(CountRequests(scene_->service, "a=sendMsg", "/refused/"), 3u) << "too late to stop during the attempts";

  // Stop waits for the worker, which is inside the reminder: its attempts (about nine
  // seconds apart) run to their end, so the reminder is not lost, while the window keeps
  // answering.
  ResponseWatch watch(program.Window());
  const ULONGLONG start = NowMs();
  PostClick(program.Control(IDC_STOP));
  ASSERT_TRUE(WaitUntil([&] { return TopLineEndsWith(program, kStoppedLine); }, 60000, &watch));
  Report("stop during a refused reminder's attempts", NowMs() - start);
  Report("window answer while Stop waits for the reminder (worst)", watch.WorstMs());
  EXPECT_EQ(watch.Misses(), 0);
  EXPECT_EQ(CountRequests(scene_->service, "a=sendMsg", "/refused/"), 3u);

  const auto log = program.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_TRUE(log[1].ends_with(L"[1]线程退出"));
  EXPECT_TRUE(log[2].ends_with(L" 发送提醒邮件：失败。"));

  ExpectExit(program, true, "program exit after the stopped run");
}

}  // namespace
