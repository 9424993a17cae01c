#include "main_window_bench.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_module.h"
#include "app/main_dlg.h"
#include "app/run_log_view.h"
#include "app/message_loop.h"
#include "build_config.h"
#include "local_http_server.h"
#include "monitor/monitor_events.h"
#include "flags/process_flags.h"
#include "monitor/site_list.h"
#include "res/resource.h"
#include "stopwatch.h"
#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "temp_folder.h"

namespace {

constexpr int kSites = 80;

bool SkippedUnlessServiceIsLocal(BenchTable& table, const std::string& measurement) {
  if (std::wstring_view(build_config::kServiceHost) == L"127.0.0.1") return false;
  table.AddInfo(measurement, "skipped: this build's account service is not 127.0.0.1 (scripts/bench.sh builds one)");
  return true;
}

struct Memory {
  double workingSetMb = 0;
  double privateMb = 0;
};

Memory MemoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return {counters.WorkingSetSize / 1048576.0, counters.PrivateUsage / 1048576.0};
}

// ", N MB more private memory" where the system reports private memory at all.
std::string PrivateMemoryNote(double grownMb, double nowMb) {
  return nowMb > 0 ? ", " + Fixed(grownMb, 1) + " MB more private memory" : std::string();
}

double CpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// The addresses of a run on the local server, one per line: up to kSites of them, as many
// as the site box lets a run take (1023 characters; a local address takes 22 and its line
// break 2, so about 42 fit).
std::wstring SiteLines(const test_support::LocalHttpServer& server, int& sites) {
  const std::wstring address = L"http://127.0.0.1:" + std::to_wstring(server.Port());
  std::wstring text = address;
  sites = 1;
  while (sites < kSites && text.size() + 2 + address.size() <= kSiteBoxReadLimit) {
    text += L"\r\n" + address;
    ++sites;
  }
  return text;
}

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

// Adds `lines` log lines, each shown and drawn before the next (as lines that come further
// apart than the log's delay for showing event lines), and returns the milliseconds it took.
double AddLogLines(InProcessMainWindow& main, int lines) {
  Stopwatch watch;
  for (int i = 0; i < lines; ++i) {
    main.Dialog().AddLogLine(L"2025-3-7 09:05:02 http://127.0.0.1:8080/site/" + std::to_wstring(i % kSites + 1) +
                             L" 网站访问正常");
    main.Pump();
  }
  return watch.Milliseconds();
}

void MeasureRunLog(BenchTable& table, InProcessMainWindow& main) {
  const HWND log = GetDlgItem(main.Window(), IDC_RUN_LOG);
  constexpr int kSample = 1000;

  // Lines as the user watches them arrive, and with the window hidden in the tray.
  main.Click(IDC_CLEAR_LOG);
  const double shownMs = AddLogLines(main, kSample);
  main.Pump();
  ShowWindow(main.Window(), SW_HIDE);
  const double hiddenMs = AddLogLines(main, kSample);
  ShowWindow(main.Window(), SW_SHOWNORMAL);
  main.Pump();
  table.AddInfo("main window: run log, one line added and drawn", Fixed(shownMs / kSample, 2) + " ms shown, " +
                                                            Fixed(hiddenMs / kSample, 2) + " ms hidden (" +
                                                            std::to_string(kSample) + " lines each)");

  // 100 000 lines: what the list itself costs in time and memory, without the drawing
  // that the two rows above measure.
  constexpr int kLines = 100000;
  main.Click(IDC_CLEAR_LOG);
  main.Pump();
  const Memory before = MemoryOf(GetCurrentProcess());
  SendMessageW(log, WM_SETREDRAW, FALSE, 0);
  const double ms = AddLogLines(main, kLines);
  const double lastMs = AddLogLines(main, kSample);
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

// The real program, started as its own process.
class ProgramProcess {
 public:
  ~ProgramProcess() { Close(); }

  // Starts it and waits until its main window is shown and it waits for input.
  bool Start(const std::wstring& exe) {
    Stopwatch watch;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_)) {
      return false;
    }
    WaitForInputIdle(info_.hProcess, 30000);
    idleMs_ = watch.Milliseconds();
    while (!(window_ = FindShownWindow()) && watch.Milliseconds() < 30000) Sleep(2);
    shownMs_ = watch.Milliseconds();
    return window_ != nullptr;
  }

  // Asks the window to close as the × button does; ends the process if it does not.
  void Close() {
    if (!info_.hProcess) return;
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info_.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = {};
    window_ = nullptr;
  }

  HANDLE Process() const { return info_.hProcess; }
  HWND Window() const { return window_; }
  double IdleMs() const { return idleMs_; }
  double ShownMs() const { return shownMs_; }

 private:
  HWND FindShownWindow() const {
    struct Search {
      DWORD pid;
      HWND found;
    } search{info_.dwProcessId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid != s->pid || !IsWindowVisible(window) || !GetDlgItem(window, IDC_START)) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  PROCESS_INFORMATION info_{};
  HWND window_ = nullptr;
  double idleMs_ = 0;
  double shownMs_ = 0;
};

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// The program beside this one in the build folder: bench\..\src\app\TarnSiteMonitor.exe.
std::optional<std::wstring> ProgramPath() {
  const std::wstring own = OwnPath();
  const std::wstring exe = own.substr(0, own.rfind(L'\\')) + L"\\..\\src\\app\\TarnSiteMonitor.exe";
  if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return exe;
}

// The program to start for a measurement, or nothing (with a row that says why) when this
// build may not start it or it is not built.
std::optional<std::wstring> ProgramToMeasure(BenchTable& table, const std::string& measurement) {
  if (SkippedUnlessServiceIsLocal(table, measurement)) return std::nullopt;
  std::optional<std::wstring> exe = ProgramPath();
  if (!exe) table.AddInfo(measurement, "skipped: TarnSiteMonitor.exe is not built beside the benchmark");
  return exe;
}

// The program's data folder in this user's profile, as the program computes it.
std::wstring ProgramDataFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
  const std::wstring folder = std::wstring(appData) + L"\\TarnSiteMonitor";
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder;
}

// Settings that check every 30 s, the shortest interval the program offers.
SettingsRecord ThirtySecondSettings() {
  SettingsRecord record{};
  record.intervalSeconds = 30;
  record.retryCount = 3;
  record.retryIntervalSeconds = 30;
  record.softType = 2;
  return record;
}

// Puts a data file back as it was before the measurement.
class FileRestorer {
 public:
  explicit FileRestorer(std::wstring path) : path_(std::move(path)), bytes_(ReadAllBytes(path_)) {}
  ~FileRestorer() {
    if (bytes_) {
      WriteAllBytes(path_, *bytes_);
    } else {
      DeleteFileW(path_.c_str());
    }
  }
  FileRestorer(const FileRestorer&) = delete;
  FileRestorer& operator=(const FileRestorer&) = delete;

 private:
  std::wstring path_;
  std::optional<std::string> bytes_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
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

void BenchStartUp(BenchTable& table) {
  const char* const measurement = "program: start-up until its window waits for input";
  const std::optional<std::wstring> exe = ProgramToMeasure(table, measurement);
  if (!exe) return;
  const std::wstring folder = ProgramDataFolder();
  FileRestorer settings(folder + L"\\Config.dat");
  FileRestorer sites(folder + L"\\site.txt");

  std::vector<double> empty, idle, shown;
  for (int run = 0; run < 5; ++run) {
    Stopwatch watch;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + OwnPath() + L"\" " + std::wstring(kExitAtOnceFlag, kExitAtOnceFlag + sizeof kExitAtOnceFlag - 1);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      WaitForSingleObject(info.hProcess, 30000);
      empty.push_back(watch.Milliseconds());
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
    ProgramProcess program;
    if (program.Start(*exe)) {
      idle.push_back(program.IdleMs());
      shown.push_back(program.ShownMs());
    }
  }
  if (shown.empty()) {
    table.AddInfo(measurement, "the program's window never appeared");
    return;
  }
  table.AddInfo(measurement, Fixed(Median(shown), 0) + " ms, median of " + std::to_string(shown.size()) +
                                 " (waiting for input after " + Fixed(Median(idle), 0) +
                                 " ms; a process that ends at once: " + Fixed(Median(empty), 0) + " ms)");
}

// Exit as the user asks for it (the window closed), timed from outside until the process
// has ended: with no run, and with its only site's check hanging on a server that never
// answers.
void BenchExit(BenchTable& table) {
  const char* const measurement = "program: exit until the process has ended";
  const std::optional<std::wstring> exe = ProgramToMeasure(table, measurement);
  if (!exe) return;
  test_support::LocalHttpServer server([](const test_support::HttpRequest&) {
    test_support::HttpReply reply;
    reply.mode = test_support::HttpReply::Mode::kHang;
    return reply;
  });
  const std::wstring folder = ProgramDataFolder();
  FileRestorer settings(folder + L"\\Config.dat");
  FileRestorer sites(folder + L"\\site.txt");
  WriteSettingsFile(folder + L"\\Config.dat", ThirtySecondSettings());
  WriteSiteFile(folder + L"\\site.txt", server.Url());

  std::vector<double> idle, hanging;
  for (int run = 0; run < 5; ++run) {
    ProgramProcess program;
    if (!program.Start(*exe)) continue;
    Stopwatch watch;
    program.Close();
    idle.push_back(watch.Milliseconds());
  }
  // A worker checks its site first a whole interval (30 s) after Start.
  for (int run = 0; run < 3; ++run) {
    ProgramProcess program;
    if (!program.Start(*exe)) continue;
    const size_t before = server.RequestCount();
    PostMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(program.Window(), IDC_START)));
    for (Stopwatch waiting; server.RequestCount() == before && waiting.Milliseconds() < 60000;) Sleep(5);
    if (server.RequestCount() == before) continue;
    Sleep(200);  // the check is inside its request
    Stopwatch watch;
    program.Close();
    hanging.push_back(watch.Milliseconds());
  }
  if (hanging.empty() || idle.empty()) {
    table.AddInfo(measurement, "the program's window never appeared or its check never reached the server");
    return;
  }
  table.AddBounded("program: exit with a check hanging, median of " + std::to_string(hanging.size()),
                   Median(hanging), "ms", 1000, 0);
  table.AddInfo("program: exit with no run, median of " + std::to_string(idle.size()), Fixed(Median(idle), 0) + " ms");
}

void BenchLongRun(BenchTable& table, int minutes) {
  const std::string measurement = "program: the most sites the box takes, at 30 s";
  if (minutes <= 0) {
    table.AddInfo(measurement + " (CPU, memory)", "skipped: tarn_bench --long [minutes] runs it (10 minutes)");
    return;
  }
  const std::optional<std::wstring> exe = ProgramToMeasure(table, measurement);
  if (!exe) return;
  test_support::LocalHttpServer server([](const test_support::HttpRequest&) { return test_support::StatusReply(200); });
  const std::wstring folder = ProgramDataFolder();
  FileRestorer settingsBackup(folder + L"\\Config.dat");
  FileRestorer sitesBackup(folder + L"\\site.txt");
  WriteSettingsFile(folder + L"\\Config.dat", ThirtySecondSettings());
  int sites = 0;
  WriteSiteFile(folder + L"\\site.txt", SiteLines(server, sites));

  ProgramProcess program;
  if (!program.Start(*exe)) {
    table.AddInfo(measurement, "the program's window never appeared");
    return;
  }
  PostMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(program.Window(), IDC_START)));
  Sleep(2000);
  const Memory start = MemoryOf(program.Process());
  const double cpuStart = CpuSeconds(program.Process());
  const size_t requestsStart = server.RequestCount();
  Memory peak = start;
  double idleCpuPercent = -1;  // before the first check, which comes 30 s after Start
  Stopwatch watch;
  const double totalMs = minutes * 60000.0;
  while (watch.Milliseconds() < totalMs) {
    Sleep(static_cast<DWORD>(std::min(10000.0, totalMs - watch.Milliseconds() + 1)));
    const Memory now = MemoryOf(program.Process());
    peak.workingSetMb = std::max(peak.workingSetMb, now.workingSetMb);
    peak.privateMb = std::max(peak.privateMb, now.privateMb);
    if (idleCpuPercent < 0 && server.RequestCount() == requestsStart && watch.Milliseconds() >= 15000) {
      idleCpuPercent = 100 * (CpuSeconds(program.Process()) - cpuStart) / (watch.Milliseconds() / 1000);
    }
    std::printf("  %3.0f s: %zu checks, working set %.1f MB\n", watch.Milliseconds() / 1000,
                server.RequestCount() - requestsStart, now.workingSetMb);
    std::fflush(stdout);
  }
  const double seconds = watch.Milliseconds() / 1000;
  const double cpu = CpuSeconds(program.Process()) - cpuStart;
  const Memory end = MemoryOf(program.Process());
  const size_t checks = server.RequestCount() - requestsStart;
  program.Close();

  const std::string span =
      "program: " + std::to_string(sites) + " sites at 30 s for " + std::to_string(minutes) + " min";
  table.AddInfo(span + ": CPU", Fixed(100 * cpu / seconds, 2) + " % of one core (" + Fixed(cpu, 1) + " s in " +
                                    Fixed(seconds, 0) + " s)");
  if (idleCpuPercent >= 0) {
    table.AddInfo(span + ": CPU before the first check", Fixed(idleCpuPercent, 2) + " % of one core (workers waiting)");
  }
  table.AddInfo(span + ": working set", Fixed(start.workingSetMb, 1) + " MB -> " + Fixed(end.workingSetMb, 1) +
                                            " MB (peak " + Fixed(peak.workingSetMb, 1) + " MB)");
  if (end.privateMb > 0) {
    table.AddInfo(span + ": private memory", Fixed(start.privateMb, 1) + " MB -> " + Fixed(end.privateMb, 1) + " MB");
  }
  table.AddInfo(span + ": checks answered", std::to_string(checks) + " (one per site every 30 s: " +
                                                std::to_string(static_cast<int>(sites * seconds / 30)) + ")");
}
