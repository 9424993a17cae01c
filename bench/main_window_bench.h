// Measurements of the main window in this process, on a window of our own. Its
// service-information thread asks the account service for the account state some seconds
// after start-up, so these run only when the build points the service at 127.0.0.1
// (scripts/bench.sh does).
#pragma once

#include "bench_table.h"

// On one main window in this process: monitoring events handled per second during a run
// of as many local sites as the site box takes (about 42), the Stop of that run, then the
// time and memory of lines in the run log, 100 000 of them among others; then soakEvents
// events through the window hidden in the tray and shown, with the working set as it goes.
void BenchMainWindow(BenchTable& table, int soakEvents);
