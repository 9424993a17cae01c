// Whether the local network is up, as the system sees it.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

bool IsNetworkUp();

// One probe's answer shared by every caller until it is maxAgeMs old. Asking the system
// can take tens of milliseconds, and its answers are given one at a time: with every
// worker asking once a second, a run of many sites would spend its time queueing for
// the probe. Thread-safe; the probe runs under the lock, so callers that arrive while
// it runs take its fresh answer.
class SharedNetworkState {
 public:
  using Probe = std::function<bool()>;
  using Clock = std::function<std::uint64_t()>;  // milliseconds, never going back

  SharedNetworkState(Probe probe, Clock clock, std::uint64_t maxAgeMs);
  bool IsUp();

 private:
  const Probe probe_;
  const Clock clock_;
  const std::uint64_t maxAgeMs_;
  std::mutex mutex_;  // guards the three below
  bool probed_ = false;
  bool up_ = true;
  std::uint64_t probedAt_ = 0;
};

// IsNetworkUp as the site-check workers ask it: one process-wide answer, at most half a
// second old.
bool IsNetworkUpShared();
