// One check of a site: a single GET of the address with every cache bypassed and the
// redirections followed, of which only the final status code is read.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "monitor/http_check_result.h"

// Runs the check on the calling thread. Connecting, sending and receiving each give up
// after timeoutMs, so the call always returns: an address that does not parse, a refused
// connection and a server that never answers all give kOpenFailed.
HttpCheckOutcome CheckAddress(const std::wstring& url, unsigned long timeoutMs);

// Runs CheckAddress on a request thread and waits for it, giving up with kAbandoned as
// soon as stop or quit is raised. The request thread is kept from one check to the next,
// so a worker pays for starting a thread once, not at every check (a thread start can
// cost as much as the request itself). An abandoned request thread keeps its own copy of
// the address and its own result slot, and ends by itself at its time-out; the next
// check, if any, starts a new one.
class AbandonableChecker {
 public:
  AbandonableChecker() = default;
  // Lets an idle request thread end; never waits for one that is inside a request.
  ~AbandonableChecker();
  AbandonableChecker(const AbandonableChecker&) = delete;
  AbandonableChecker& operator=(const AbandonableChecker&) = delete;

  // kInitFailed when no request thread could be started.
  HttpCheckOutcome Run(const std::wstring& url, unsigned long timeoutMs, const std::atomic<bool>& stop,
                       const std::atomic<bool>& quit);

  struct Slot;  // shared by the checker and its request thread

 private:
  std::shared_ptr<Slot> slot_;  // empty until the first check and after an abandoned one
};

// One check on a request thread of its own (an AbandonableChecker used once).
HttpCheckOutcome RunAbandonableCheck(const std::wstring& url, unsigned long timeoutMs, const std::atomic<bool>& stop,
                                     const std::atomic<bool>& quit);
