// Process measures the benchmark's rows share: memory, CPU time, the sites of a run and
// whether this build may start the main window at all.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench_table.h"
#include "local_http_server.h"

// At most this many sites in a run; the site box takes about 42 local addresses.
inline constexpr int kSites = 80;

// True, with a row that says why, when this build's account service is not 127.0.0.1:
// the main window's service-information thread would then ask the real service.
bool SkippedUnlessServiceIsLocal(BenchTable& table, const std::string& measurement);

struct Memory {
  double workingSetMb = 0;
  double privateMb = 0;
};
Memory MemoryOf(HANDLE process);
// ", N MB more private memory" where the system reports private memory at all.
std::string PrivateMemoryNote(double grownMb, double nowMb);
double CpuSeconds(HANDLE process);
double Median(std::vector<double> values);

// The addresses of a run on the local server, one per line: up to kSites of them, as many
// as the site box lets a run take (1023 characters; a local address takes 22 and its line
// break 2, so about 42 fit).
std::wstring SiteLines(const test_support::LocalHttpServer& server, int& sites);
