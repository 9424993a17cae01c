// How long a run of 80 site-check workers takes to end once the stop flag is raised,
// with the window thread waiting for them as the main window does.
#pragma once

#include "bench_table.h"

void BenchStopLatency(BenchTable& table, int sites);
