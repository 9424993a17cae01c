// Two real worker threads against a local server, reporting to a message-only window
// that this thread pumps, and ended by the stop flag as the main window ends a run.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "local_http_server.h"
#include "message_window.h"
#include "monitor/monitor_events.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "test_seams.h"
#include "wait_until.h"
#include "monitor/site_check_thread.h"
#include "monitor/site_entry.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::WaitUntil;

namespace {

class RecordingOwner : public SiteOwner {
 public:
  bool EmailReminderOn() const override { return true; }
  bool SendReminder(const std::wstring& url, int statusCode, int templateId) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({url, statusCode, templateId});
    return true;
  }
  struct Call {
    std::wstring url;
    int status;
    int templateId;
  };
  std::vector<Call> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

HttpReply Reply(const HttpRequest& request) {
  if (request.target == "/hang") return test_support::ModeReply(HttpReply::Mode::kHang);
  if (request.target == "/broken") return test_support::StatusReply(500);
  return test_support::StatusReply(200);
}

class SiteCheckThreadRun : public ::testing::Test {
 protected:
  void SetUp() override {
    g_bStop = false;
    g_bQuit = false;
  }

  // By default every site is checked every second and retried once.
  void Start(const std::vector<std::wstring>& urls, const MonitorSettings& settings = {1, 1, 1, 1}) {
    for (size_t i = 0; i < urls.size(); ++i) {
      entries_.push_back(MakeSiteEntry(static_cast<int32_t>(i + 1), settings, window_.Get(), &owner_, urls[i]));
    }
    for (auto& entry : entries_) {
      entry.thread = CreateThread(nullptr, 0, SiteCheckThread, &entry, 0, nullptr);
      ASSERT_NE(nullptr, entry.thread);
    }
  }

  // Raises the stop flag as the main window does and returns how long the workers took
  // to end.
  DWORD StopAndWait() {
    RaiseFlag(g_bStop);
    const DWORD start = GetTickCount();
    std::vector<HANDLE> threads;
    for (auto& entry : entries_) threads.push_back(entry.thread);
    // The workers' last events are sent: this thread keeps taking them while it waits.
    const auto allEnded = [&] {
      return WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 0) == WAIT_OBJECT_0;
    };
    EXPECT_TRUE(WaitUntil(allEnded, 15000));
    const DWORD took = GetTickCount() - start;
    for (auto& entry : entries_) CloseHandle(entry.thread);
    entries_.clear();
    return took;
  }

  std::vector<int>& Codes(int index) { return codes_[index]; }

  LocalHttpServer server_{Reply};
  std::map<int, std::vector<int>> codes_;  // the workers' events per site index, in arrival order
  // Stands in for the main window.
  test_support::MessageWindow window_{[this](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_MONITOREVENT) return false;
    codes_[static_cast<int>(wParam)].push_back(static_cast<int>(lParam));
    return true;
  }};
  RecordingOwner owner_;
  std::deque<SiteEntry> entries_;  // records never move while their workers run
};

TEST_F(SiteCheckThreadRun, ReportsEachSiteInOrderAndEndsOnStop) {
  Start({server_.Url("/"), server_.Url("/broken")});
  // Site 2 with one retry: 500 reported at its second attempt, the reminder at its third.
  ASSERT_TRUE(WaitUntil([&] { return Codes(1).size() >= 3 && Codes(2).size() >= 2; }, 15000));
  const DWORD took = StopAndWait();
  std::printf("two workers ended %lu ms after the stop flag\n", took);
  EXPECT_LT(took, 5000u);

  const std::vector<int> site1 = Codes(1);
  ASSERT_GE(site1.size(), 4u);
  for (size_t i = 0; i + 1 < site1.size(); ++i) EXPECT_EQ(200, site1[i]);
  EXPECT_EQ(EV_THREAD_EXIT, site1.back());

  const std::vector<int> site2 = Codes(2);
  ASSERT_GE(site2.size(), 3u);
  EXPECT_EQ(500, site2[0]);
  EXPECT_EQ(EV_MAIL_SENT, site2[1]);
  EXPECT_EQ(EV_THREAD_EXIT, site2.back());

  const auto calls = owner_.Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(server_.Url("/broken"), calls[0].url);
  EXPECT_EQ(500, calls[0].status);
  EXPECT_EQ(1, calls[0].templateId);
}

TEST_F(SiteCheckThreadRun, EndsOnStopWhileACheckWaitsForASilentServer) {
  Start({server_.Url("/"), server_.Url("/hang")});
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const auto& r : server_.Requests())
          if (r.target == "/hang") return Codes(1).size() >= 1;
        return false;
      },
      15000));
  const DWORD took = StopAndWait();
  std::printf("workers ended %lu ms after the stop flag, one of them inside a request\n", took);
  EXPECT_LT(took, 5000u);
  // The silent site said nothing but its exit.
  EXPECT_EQ((std::vector<int>{EV_THREAD_EXIT}), Codes(2));
  EXPECT_EQ(EV_THREAD_EXIT, Codes(1).back());
}

TEST_F(SiteCheckThreadRun, EndsOnStopWithoutWaitingOutItsTick) {
  test_support::SetWorkerTickMilliseconds(60000);
  const unsigned long long ticks = test_support::WorkerTicks();
  Start({server_.Url("/")}, {30, 1, 30, 0});  // nothing is checked or posted within the test
  ASSERT_TRUE(WaitUntil([&] { return test_support::WorkerTicks() > ticks; }, 15000));
  // Inside (or about to begin) a one-minute tick: the raised flag ends it.
  EXPECT_LT(StopAndWait(), 15000u);
  test_support::SetWorkerTickMilliseconds(0);
  EXPECT_EQ((std::vector<int>{EV_THREAD_EXIT}), Codes(1));
}

TEST_F(SiteCheckThreadRun, QuitBeforeTheStartEndsAtOnce) {
  g_bQuit = true;
  Start({server_.Url("/")});
  StopAndWait();
  EXPECT_EQ((std::vector<int>{EV_THREAD_EXIT}), Codes(1));
  EXPECT_EQ(0u, server_.RequestCount());
}

}  // namespace
