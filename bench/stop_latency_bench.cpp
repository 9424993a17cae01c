#include "stop_latency_bench.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <string>

#include "local_http_server.h"
#include "monitor/monitor_events.h"
#include "flags/flag_wait.h"
#include "flags/process_flags.h"
#include "monitor/site_check_thread.h"
#include "monitor/site_entry.h"
#include "app/run/worker_waiter.h"
#include "message_window.h"
#include "stopwatch.h"
#include "win/unique_handle.h"

namespace {

std::atomic<long> g_eventsSeen{0};

// A message-only window standing in for the main window: it takes the workers' events.
class EventSink {
 public:
  EventSink()
      : window_([](UINT message, WPARAM, LPARAM) {
          if (message != WM_MONITOREVENT) return false;
          ++g_eventsSeen;
          return true;
        }) {}
  HWND Get() const { return window_.Get(); }

 private:
  test_support::MessageWindow window_;
};

// Delivers this thread's messages until ready() holds or timeoutMs has passed.
bool PumpUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
  Stopwatch watch;
  while (!ready()) {
    if (watch.Milliseconds() > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return true;
}

struct StopResult {
  bool ready = false;
  double ms = 0;
};

// Starts one worker per url, waits (pumping) until ready() says they are where the
// measurement wants them, raises g_bStop as the window does and times the wait for all of them.
StopResult RunAndStop(const std::vector<std::wstring>& urls, const MonitorSettings& settings,
                      const std::function<bool()>& ready) {
  EventSink sink;
  std::deque<SiteEntry> entries;  // never moves while the workers run
  WorkerWaiter waiter;
  g_bStop = false;
  g_bQuit = false;
  for (size_t i = 0; i < urls.size(); ++i) {
    entries.push_back(MakeSiteEntry(static_cast<int32_t>(i + 1), settings, sink.Get(), nullptr, urls[i]));
    SiteEntry& entry = entries.back();
    entry.thread = CreateThread(nullptr, 0, SiteCheckThread, &entry, 0, nullptr);
    waiter.Add(win::KernelHandle(entry.thread));
  }
  StopResult result;
  result.ready = PumpUntil(ready, 30000);
  Stopwatch watch;
  RaiseFlag(g_bStop);  // as the main window raises it
  waiter.WaitAll();
  result.ms = watch.Milliseconds();
  return result;
}

}  // namespace

void BenchStopLatency(BenchTable& table, int sites) {
  test_support::LocalHttpServer server([](const test_support::HttpRequest& request) {
    test_support::HttpReply reply = test_support::StatusReply(200, "ok");
    if (request.target == "/hang") reply.mode = test_support::HttpReply::Mode::kHang;
    return reply;
  });
  const std::string count = std::to_string(sites);

  // Idle: every worker counts down a 30-second interval, asleep in its one-second tick.
  // How far into its tick each one is when the flag rises depends on the moment, so the
  // flag is raised at moments spread over a whole tick and the worst is reported.
  constexpr int kIdleRuns = 5;
  double idleWorst = 0;
  double idleSum = 0;
  for (int run = 0; run < kIdleRuns; ++run) {
    Stopwatch settle;
    const StopResult r = RunAndStop(std::vector<std::wstring>(static_cast<size_t>(sites), server.Url("/")),
                                    {30, 3, 30, 0}, [&] { return settle.Milliseconds() > 2000 + 1000 * run / kIdleRuns; });
    idleWorst = std::max(idleWorst, r.ms);
    idleSum += r.ms;
  }
  table.AddBounded("stop, " + count + " idle workers (worst of " + std::to_string(kIdleRuns) + ")", idleWorst, "ms",
                   1200, 0);
  table.AddInfo("stop, " + count + " idle workers (mean)", Fixed(idleSum / kIdleRuns, 0) + " ms");

  // Busy: every worker checks every second and posts each result.
  {
    Stopwatch settle;
    g_eventsSeen = 0;
    const StopResult r = RunAndStop(std::vector<std::wstring>(static_cast<size_t>(sites), server.Url("/")),
                                    {1, 3, 1, 0}, [&] { return settle.Milliseconds() > 3000; });
    table.AddInfo("stop, " + count + " workers checking every second",
                  Fixed(r.ms, 0) + " ms (" + std::to_string(g_eventsSeen.load()) + " events taken)");
  }

  // Hanging: every worker is inside a request to a server that never answers.
  {
    const size_t before = server.RequestCount();
    const StopResult r = RunAndStop(std::vector<std::wstring>(static_cast<size_t>(sites), server.Url("/hang")),
                                    {1, 3, 1, 0}, [&] { return server.RequestCount() >= before + sites; });
    if (r.ready) {
      table.AddBounded("stop, " + count + " workers inside unanswered requests", r.ms, "ms", 2000, 0);
    } else {
      table.AddInfo("stop, " + count + " workers inside unanswered requests",
                    "only " + std::to_string(server.RequestCount() - before) + " requests arrived; " + Fixed(r.ms, 0) +
                        " ms");
    }
  }
  server.Stop();  // ends the abandoned request threads' connections
}
