// What one site check costs through the worker's own check path, against the bare
// WinINet sequence that does the same request.
#pragma once

#include <string>

#include "bench_table.h"

// Runs `checks` checks of each kind against one local server, interleaved in rotating
// order so that neither kind gets the warmer moments, and adds the rows to `table`.
void BenchCheckCost(BenchTable& table, int checks);

// The plain sequence a worker's check stands for: open, request with the cache bypassed,
// read the status code, close both. True when the status was 200.
bool BareWinInetCheck(const std::wstring& url);
