#include "main_window_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/app_module.h"
#include "app/main_window/main_dlg.h"
#include "app/main_window/run_log_view.h"
#include "win/message_loop.h"
#include "build_config.h"
#include "local_http_server.h"
#include "process_measures.h"
#include "monitor/monitor_events.h"
#include "flags/process_flags.h"
#include "res/resource.h"
#include "stopwatch.h"
#include "temp_folder.h"


namespace {

// The main window in this process over a data folder of its own, its messages handled
// here the way the program's loop handles them.
class InProcessMainWindow {
 public:
  InProcessMainWindow() {
    static const bool initialised = [] {
      INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
      InitCommonControlsEx(&controls);
      _Module.Init(GetModuleHandleW(nullptr));
      return true;
    }();
    (void)initialised;
    g_bQuit = false;
    g_bStop = false;
    _Module.AddMessageLoop(&loop_);
    dialog_ = std::make_unique<CMainDlg>(folder_.Path());
    window_ = dialog_->Create(nullptr);
    if (window_) ShowWindow(window_, SW_SHOWNORMAL);
    Pump();
  }
  ~InProcessMainWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);  // ends a run and raises g_bQuit
    dialog_.reset();
    _Module.RemoveMessageLoop();
    Pump();
  }
  InProcessMainWindow(const InProcessMainWindow&) = delete;
  InProcessMainWindow& operator=(const InProcessMainWindow&) = delete;

  bool Opened() const { return window_ != nullptr; }
  HWND Window() const { return window_; }
  CMainDlg& Dialog() { return *dialog_; }
  void Click(int id) { SendMessageW(GetDlgItem(window_, id), BM_CLICK, 0, 0); }

  // Handles every message queued now.
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (window_ && IsWindow(window_) && IsDialogMessageW(window_, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

 private:
  TempFolder folder_;
  CMessageLoop loop_;
  std::unique_ptr<CMainDlg> dialog_;
  HWND window_ = nullptr;
};

void MeasureEventRate(BenchTable& table, InProcessMainWindow& main) {
  test_support::LocalHttpServer server([](const test_support::HttpRequest&) { return test_support::StatusReply(200); });
  int sites = 0;
  SetDlgItemTextW(main.Window(), IDC_SITES, SiteLines(server, sites).c_str());
  main.Click(IDC_START);  // workers with the default one-minute interval: none checks meanwhile
  main.Pump();

  // Events as workers post them; in one round of ten every site fails, and the round
  // after it every site is back, so a fifth of the events also show the popup.
  const int events = 40 * sites;
  const int batch = 4 * sites;  // well below the queue's limit of posted messages
  Stopwatch watch;
  for (int posted = 0; posted < events;) {
    for (int k = 0; k < batch; ++k, ++posted) {
      const int round = posted / sites;
      PostMessageW(main.Window(), WM_MONITOREVENT, static_cast<WPARAM>(1 + posted % sites), round % 10 == 9 ? 404 : 200);
    }
    main.Pump();
  }
  const double ms = watch.Milliseconds();
  table.AddInfo("main window: monitoring events handled", Fixed(events / (ms / 1000), 0) + " events/s (" +
                                                               Fixed(ms / events, 2) + " ms each, " +
                                                               std::to_string(events) + " events from " +
                                                               std::to_string(sites) + " sites)");

  // Stop as the user presses it: the workers end within their one-second tick, and each
  // one's last event puts a line into the log while it waits.
  Sleep(1500);
  Stopwatch stopping;
  main.Click(IDC_STOP);
  table.AddInfo("main window: Stop of a run of " + std::to_string(sites) + " idle sites",
                Fixed(stopping.Milliseconds(), 0) + " ms");
  main.Pump();
}

// Events through the window during a run of the most sites the box takes, posted in
// batches as workers post them, with the window hidden in the tray and then shown. A
// fiftieth of the events are failures or recoveries that also show the popup. The log is
// full after 10 000 lines; from then on its memory must stay flat.
void MeasureSoak(BenchTable& table, InProcessMainWindow& main, int events) {
  test_support::LocalHttpServer server([](const test_support::HttpRequest&) { return test_support::StatusReply(200); });
  int sites = 0;
  SetDlgItemTextW(main.Window(), IDC_SITES, SiteLines(server, sites).c_str());
  main.Click(IDC_START);
  main.Pump();
  for (const bool shown : {false, true}) {
    ShowWindow(main.Window(), shown ? SW_SHOWNORMAL : SW_HIDE);
    main.Click(IDC_CLEAR_LOG);
    main.Pump();
    std::vector<std::pair<int, double>> marks;  // events handled, working set in MB
    for (int mark : {kRunLogMaxLines, 100000}) {
      if (mark < events) marks.emplace_back(mark, 0.0);
    }
    marks.emplace_back(events, 0.0);
    int posted = 0;
    const double cpuStart = CpuSeconds(GetCurrentProcess());
    Stopwatch watch;
    for (auto& [mark, workingSetMb] : marks) {
      while (posted < mark) {
        for (const int end = std::min(mark, posted + 1000); posted < end; ++posted) {
          const int round = posted / sites;
          PostMessageW(main.Window(), WM_MONITOREVENT, static_cast<WPARAM>(1 + posted % sites),
                       round % 100 == 99 ? 404 : 200);
        }
        main.Pump();
      }
      workingSetMb = MemoryOf(GetCurrentProcess()).workingSetMb;
    }
    const double seconds = watch.Milliseconds() / 1000;
    const double cpu = CpuSeconds(GetCurrentProcess()) - cpuStart;
    const std::string name = std::string("main window soak, ") + (shown ? "shown" : "hidden in the tray") + ": ";
    std::string workingSets;
    for (const auto& [mark, workingSetMb] : marks) {
      workingSets += (workingSets.empty() ? "" : ", ") + Fixed(workingSetMb, 1) + " MB after " + std::to_string(mark);
    }
    const double rate = posted / seconds;
    table.Add({name + std::to_string(posted) + " events",
               Fixed(rate, 0) + " events/s (" + Fixed(seconds, 1) + " s, " + Fixed(cpu, 1) +
                   " s of CPU in this process; working set " + workingSets + ")",
               shown ? "" : ">= 500 events/s", shown ? "" : (rate >= 500 ? "met" : "MISSED")});
    table.AddBounded(name + "working set, full log to the end", marks.back().second - marks.front().second, "MB", 8);
  }
  ShowWindow(main.Window(), SW_SHOWNORMAL);
  main.Click(IDC_STOP);
  main.Pump();
}

// Adds `lines` log lines, each drawn before the next when `drawEach` (as lines that come
// further apart than the log's delay for drawing), and returns the milliseconds it took.
double AddLogLines(InProcessMainWindow& main, int lines, bool drawEach) {
  Stopwatch watch;
  for (int i = 0; i < lines; ++i) {
    main.Dialog().AddLogLine(L"2025-3-7 09:05:02 http://127.0.0.1:8080/site/" + std::to_wstring(i % kSites + 1) +
                             L" 网站访问正常");
    if (drawEach) main.Dialog().RunLog().DrawNow();
    main.Pump();
  }
  return watch.Milliseconds();
}

void MeasureRunLog(BenchTable& table, InProcessMainWindow& main) {
  const HWND log = GetDlgItem(main.Window(), IDC_RUN_LOG);
  constexpr int kSample = 1000;

  // Lines as the user watches them arrive, and with the window hidden in the tray.
  main.Click(IDC_CLEAR_LOG);
  const double shownMs = AddLogLines(main, kSample, true);
  main.Pump();
  ShowWindow(main.Window(), SW_HIDE);
  const double hiddenMs = AddLogLines(main, kSample, true);
  ShowWindow(main.Window(), SW_SHOWNORMAL);
  main.Pump();
  table.AddInfo("main window: run log, one line added and drawn", Fixed(shownMs / kSample, 2) + " ms shown, " +
                                                            Fixed(hiddenMs / kSample, 2) + " ms hidden (" +
                                                            std::to_string(kSample) + " lines each)");

  // 100 000 lines: what the list itself costs in time and memory, without the drawing
  // that the two rows above measure (the log draws them at most once per its delay, since
  // it resumes the drawing held here).
  constexpr int kLines = 100000;
  main.Click(IDC_CLEAR_LOG);
  main.Pump();
  const Memory before = MemoryOf(GetCurrentProcess());
  SendMessageW(log, WM_SETREDRAW, FALSE, 0);
  const double ms = AddLogLines(main, kLines, false);
  const double lastMs = AddLogLines(main, kSample, false);
  SendMessageW(log, WM_SETREDRAW, TRUE, 0);
  main.Pump();
  const Memory after = MemoryOf(GetCurrentProcess());
  Stopwatch clearing;
  main.Click(IDC_CLEAR_LOG);
  const double clearMs = clearing.Milliseconds();
  table.AddInfo("main window: run log, 100 000 lines, drawing held (10 000 kept)",
                Fixed(ms, 0) + " ms (" + Fixed(1000 * ms / kLines, 1) + " us/line; 1000 more on top: " +
                    Fixed(1000 * lastMs / kSample, 1) + " us/line; clearing: " + Fixed(clearMs, 0) + " ms)");
  table.AddInfo("main window: run log, memory after 101 000 lines (10 000 kept)",
                Fixed(after.workingSetMb - before.workingSetMb, 1) + " MB more working set" +
                    PrivateMemoryNote(after.privateMb - before.privateMb, after.privateMb));
}

}  // namespace

void BenchMainWindow(BenchTable& table, int soakEvents) {
  if (SkippedUnlessServiceIsLocal(table, "main window: events handled, run log")) return;
  InProcessMainWindow main;
  if (!main.Opened()) {
    table.AddInfo("main window: events handled, run log", "the main window could not be created");
    return;
  }
  MeasureEventRate(table, main);
  MeasureRunLog(table, main);
  MeasureSoak(table, main, soakEvents);
}
