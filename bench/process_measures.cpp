#include "process_measures.h"

#include <psapi.h>

#include <algorithm>
#include <string_view>

#include "build_config.h"
#include "monitor/site_list.h"

bool SkippedUnlessServiceIsLocal(BenchTable& table, const std::string& measurement) {
  if (std::wstring_view(build_config::kServiceHost) == L"127.0.0.1") return false;
  table.AddInfo(measurement, "skipped: this build's account service is not 127.0.0.1 (scripts/bench.sh builds one)");
  return true;
}

Memory MemoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return {counters.WorkingSetSize / 1048576.0, counters.PrivateUsage / 1048576.0};
}

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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}
