// Work that the caller may stop waiting for: it runs on a thread of the process's thread
// pool while the caller waits, and the caller gives up as soon as one of its flags is
// raised. The work must own (or share) everything it touches, so work whose caller has
// given up finishes harmlessly on its own; a request ends by itself at its time-out. The
// site checks and the account-service exchanges both run this way.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

// Hands callback(context) to a thread; false when no thread can take it.
using PoolQueue = bool (*)(PTP_SIMPLE_CALLBACK callback, void* context);
bool QueueOnThreadPool(PTP_SIMPLE_CALLBACK callback, void* context);

enum class RunEnd {
  kFinished,   // the work has run (an exception it threw was swallowed)
  kAbandoned,  // a flag was raised first; the work runs on by itself
  kNotQueued,  // no thread could take it: the work has not run
  kNoMemory,   // no memory to hand it over: the work has not run
};

// Raises no flag itself. The flags are polled every 50 ms while the work runs.
RunEnd RunAbandonable(std::function<void()> work, const std::atomic<bool>& stop, const std::atomic<bool>& quit,
                      PoolQueue queue = QueueOnThreadPool);
