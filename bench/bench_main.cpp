// The benchmark program: runs every measurement once and prints one table.
//   tarn_bench [--long [minutes]] [--soak events] [checks]
//     --long     also runs the program with as many sites as its box takes (about 42) for the
//                given minutes (10 by default)
//     --soak     events sent through the main window, hidden and shown (200 000 by default)
//     checks     number of site checks of each kind (300 by default)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_table.h"
#include "check_cost_bench.h"
#include "design_floor.h"
#include "main_window_bench.h"
#include "program_bench.h"
#include "stop_latency_bench.h"

int main(int argc, char** argv) {
  int checks = 300;
  int longMinutes = 0;
  int soakEvents = 200000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == kExitAtOnceFlag) return 0;
    if (arg == kDesignFloorFlag && i + 3 < argc) {
      const std::string url = argv[i + 1];
      return RunDesignFloor(std::wstring(url.begin(), url.end()), std::atoi(argv[i + 2]), std::atoi(argv[i + 3]));
    }
    if (arg == "--long") {
      longMinutes = i + 1 < argc && std::atoi(argv[i + 1]) > 0 ? std::atoi(argv[++i]) : 10;
    } else if (arg == "--soak" && i + 1 < argc) {
      soakEvents = std::max(1, std::atoi(argv[++i]));
    } else if (std::atoi(argv[i]) > 0) {
      checks = std::atoi(argv[i]);
    }
  }
  BenchTable table;
  std::printf("measuring site checks...\n");
  std::fflush(stdout);
  BenchCheckCost(table, checks);
  std::printf("measuring stop latency...\n");
  std::fflush(stdout);
  BenchStopLatency(table, 80);
  std::printf("measuring the main window...\n");
  std::fflush(stdout);
  BenchMainWindow(table, soakEvents);
  BenchStartUp(table);
  BenchExit(table);
  BenchLongRun(table, longMinutes);
  std::printf("\n");
  table.Print();
  return 0;
}
