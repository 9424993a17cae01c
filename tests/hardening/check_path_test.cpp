// The two things that keep a worker's pass cheap with many sites: checks on the thread
// pool, whose threads serve one check after another (abandoned ones included), and one
// network probe shared by all workers.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "local_http_server.h"
#include "monitor/http_check.h"
#include "monitor/network_state.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;

namespace {

HttpReply Reply(const HttpRequest& request) {
  HttpReply reply = test_support::StatusReply(request.target == "/missing" ? 404 : 200);
  if (request.target == "/hang") reply.mode = HttpReply::Mode::kHang;
  return reply;
}

TEST(PooledCheck, KeepsCheckingAroundAbandonedChecks) {
  LocalHttpServer server(Reply);
  std::atomic<bool> stop{false}, quit{false};
  const struct {
    std::string path;
    std::atomic<bool>* raised;  // raised once the request has arrived; either flag gives up
    HttpCheckResult result;
    int status;
  } steps[] = {
      {"/", nullptr, HttpCheckResult::kStatusRead, 200},
      {"/missing", nullptr, HttpCheckResult::kStatusRead, 404},
      {"/hang", &stop, HttpCheckResult::kAbandoned, 0},
      {"/", nullptr, HttpCheckResult::kStatusRead, 200},  // while the abandoned one still hangs
      {"/hang", &quit, HttpCheckResult::kAbandoned, 0},
      {"/missing", nullptr, HttpCheckResult::kStatusRead, 404},
  };
  for (const auto& step : steps) {
    stop = quit = false;
    std::thread raiser;
    if (step.raised) {
      const size_t before = server.RequestCount();
      raiser = std::thread([&, before] {
        while (server.RequestCount() == before) Sleep(5);
        *step.raised = true;
      });
    }
    const DWORD start = GetTickCount();
    const HttpCheckOutcome outcome = RunAbandonableCheck(server.Url(step.path), 20000, stop, quit);
    const DWORD took = GetTickCount() - start;
    if (raiser.joinable()) raiser.join();
    EXPECT_EQ(step.result, outcome.result) << step.path;
    EXPECT_EQ(step.status, outcome.status) << step.path;
    EXPECT_LT(took, 5000u) << step.path << ": never the request's time-out";
  }
  EXPECT_EQ(std::size(steps), server.RequestCount());
}

TEST(PooledCheck, ManyWorkersCheckAtOnce) {
  // More simultaneous checks than the pool has idle threads, some of them hanging: every
  // answered one comes back with its own status.
  LocalHttpServer server(Reply);
  std::atomic<bool> stop{false}, quit{false};
  std::atomic<int> answered{0}, wrong{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 40; ++w) {
    workers.emplace_back([&, w] {
      if (w % 8 == 0) {
        RunAbandonableCheck(server.Url("/hang"), 20000, stop, quit);
        return;
      }
      for (int k = 0; k < 5; ++k) {
        const bool missing = (w + k) % 3 == 0;
        const HttpCheckOutcome o = RunAbandonableCheck(server.Url(missing ? "/missing" : "/"), 20000, stop, quit);
        if (o.result == HttpCheckResult::kStatusRead && o.status == (missing ? 404 : 200)) {
          ++answered;
        } else {
          ++wrong;
        }
      }
    });
  }
  while (answered + wrong < 35 * 5) Sleep(10);
  stop = true;  // lets the hanging ones go
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(35 * 5, answered.load());
  EXPECT_EQ(0, wrong.load());
}

TEST(SharedNetworkState, OneProbeServesEveryCallerForItsAge) {
  std::uint64_t now = 1000;
  int probes = 0;
  bool up = true;
  SharedNetworkState state([&] { ++probes; return up; }, [&] { return now; }, 500);
  const struct {
    std::uint64_t advance;
    bool systemUp;
    bool seen;
    int probesSoFar;
  } steps[] = {
      {0, true, true, 1},     // the first call probes
      {100, false, true, 1},  // the network went down, but the answer is 100 ms old
      {399, false, true, 1},  // 499 ms old
      {1, false, false, 2},   // 500 ms old: probed again
      {0, true, false, 2},
      {500, true, true, 3},
      {100000, true, true, 4},
  };
  for (const auto& step : steps) {
    now += step.advance;
    up = step.systemUp;
    EXPECT_EQ(step.seen, state.IsUp()) << "at " << now;
    EXPECT_EQ(step.probesSoFar, probes) << "at " << now;
  }
}

TEST(SharedNetworkState, CallersFromManyThreadsShareASlowProbe) {
  std::atomic<int> probes{0};
  SharedNetworkState state(
      [&] {
        ++probes;
        Sleep(20);  // as slow as the system's own probe can be
        return true;
      },
      [] { return static_cast<std::uint64_t>(GetTickCount64()); }, 200);
  const ULONGLONG start = GetTickCount64();
  std::vector<std::thread> callers;
  for (int t = 0; t < 16; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(state.IsUp());
        Sleep(10);
      }
    });
  }
  for (auto& caller : callers) caller.join();
  const ULONGLONG took = GetTickCount64() - start;
  // 800 answers; at most one probe per 200 ms (plus the first).
  EXPECT_LE(static_cast<ULONGLONG>(probes.load()), took / 200 + 2) << took << " ms";
}

}  // namespace
