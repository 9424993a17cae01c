#include "program_bench.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "build_config.h"
#include "design_floor.h"
#include "local_http_server.h"
#include "process_measures.h"
#include "res/resource.h"
#include "stopwatch.h"
#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "temp_folder.h"


namespace {

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

}  // namespace

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
  test_support::LocalHttpServer server(
      [](const test_support::HttpRequest&) { return test_support::ModeReply(test_support::HttpReply::Mode::kHang); });
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

// The floor's checks go to their own path, apart from the program's.
constexpr char kFloorPath[] = "/floor";
constexpr double kCpuPerFloorGoal = 1.5;

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
  // The floor starts with the run, so that its checks fall at the same seconds.
  DesignFloorProcess floor;
  const bool floorRuns = floor.Start(server.Url(kFloorPath), sites, 30);
  PostMessageW(program.Window(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(program.Window(), IDC_START)));
  Sleep(2000);
  const Memory start = MemoryOf(program.Process());
  const double cpuStart = CpuSeconds(program.Process());
  const double floorCpuStart = floorRuns ? CpuSeconds(floor.Process()) : 0;
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
    std::printf("  %3.0f s: %zu checks (the floor's too), working set %.1f MB\n", watch.Milliseconds() / 1000,
                server.RequestCount() - requestsStart, now.workingSetMb);
    std::fflush(stdout);
  }
  const double seconds = watch.Milliseconds() / 1000;
  const double cpu = CpuSeconds(program.Process()) - cpuStart;
  const double floorCpu = floorRuns ? CpuSeconds(floor.Process()) - floorCpuStart : 0;
  const Memory end = MemoryOf(program.Process());
  const auto requests = server.Requests();
  const auto floorChecks = static_cast<size_t>(
      std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.target == kFloorPath; }));
  const size_t checks = requests.size() - requestsStart - floorChecks;
  program.Close();

  const std::string span =
      "program: " + std::to_string(sites) + " sites at 30 s for " + std::to_string(minutes) + " min";
  table.AddInfo(span + ": CPU", Fixed(100 * cpu / seconds, 2) + " % of one core (" + Fixed(cpu, 1) + " s in " +
                                    Fixed(seconds, 0) + " s)");
  if (floorRuns && floorCpu > 0) {
    table.AddInfo(span + ": the design's floor, same time",
                  Fixed(100 * floorCpu / seconds, 2) + " % of one core (" + std::to_string(sites) +
                      " threads waiting a second at a time, " + std::to_string(sites) + " bare checks every 30 s; " +
                      std::to_string(floorChecks) + " answered)");
    // The goal in place of a figure that only holds on one machine: the former 1 % of one
    // core beside the floor of about 0.67 % that was measured then.
    table.AddBounded(span + ": CPU / floor", cpu / floorCpu, "x", kCpuPerFloorGoal, 2);
  }
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
