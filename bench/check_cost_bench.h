// What one site check costs through the worker's own check path, against the bare
// WinINet sequence that does the same request.
#pragma once

#include "bench_table.h"

// Runs `checks` checks of each kind against one local server, interleaved in rotating
// order so that neither kind gets the warmer moments, and adds the rows to `table`.
void BenchCheckCost(BenchTable& table, int checks);
