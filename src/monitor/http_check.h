// One check of a site: a single GET of the address with every cache bypassed and the
// redirections followed, of which only the final status code is read.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "monitor/http_check_result.h"
#include "net/abandonable_run.h"

// The flags of a check's request: every cache bypassed, redirections between http and
// https followed whatever the system's settings, and TLS for an https address.
DWORD SiteCheckRequestFlags(bool secure);

// Runs the check on the calling thread. Connecting, sending and receiving each give up
// after timeoutMs, so the call always returns: an address that does not parse, a refused
// connection and a server that never answers all give kOpenFailed.
HttpCheckOutcome CheckAddress(const std::wstring& url, unsigned long timeoutMs);

// Runs CheckAddress on a thread of the process's thread pool and waits for it, giving up
// with kAbandoned as soon as stop or quit is raised. An abandoned request keeps its own
// copy of the address and its own result slot, and ends by itself at its time-out.
// When the queue refuses the check, it runs on the calling thread instead.
// kOpenFailed when there was no memory to hand it over.
HttpCheckOutcome RunAbandonableCheck(const std::wstring& url, unsigned long timeoutMs, const std::atomic<bool>& stop,
                                     const std::atomic<bool>& quit, PoolQueue queue = QueueOnThreadPool);
