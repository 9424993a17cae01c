// Measurements of the real program started as its own process. Like the main window's,
// they run only when the build points the account service at 127.0.0.1.
#pragma once

#include "bench_table.h"

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
