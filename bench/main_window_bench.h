// Measurements that need the main window: in-process on a window of our own, or on the
// real program started as its own process. The program's service-information thread
// asks the account service for the account state some seconds after start-up, so these
// run only when the build points the service at 127.0.0.1 (scripts/bench.sh does).
#pragma once

#include "bench_table.h"

// On one main window in this process: monitoring events handled per second during a run
// of as many local sites as the site box takes (about 42), the Stop of that run, then the
// time and memory of lines in the run log, 100 000 of them among others; then soakEvents
// events through the window hidden in the tray and shown, with the working set as it goes.
void BenchMainWindow(BenchTable& table, int soakEvents);
// CPU time and memory of the program checking as many local sites as its site box takes
// every 30 seconds for the given number of minutes (0: skipped, with a note how to run it).
void BenchLongRun(BenchTable& table, int minutes);
// Time from process start until the program's main window is shown and waits for input,
// beside the start of a process that ends at once.
void BenchStartUp(BenchTable& table);
// Time from the window's close until the program's process has ended, with a site's check
// hanging and with no run.
void BenchExit(BenchTable& table);

// The flag that makes the benchmark program end at once (the empty process above).
inline constexpr char kExitAtOnceFlag[] = "--exit-at-once";
