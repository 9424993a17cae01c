#include "monitor/network_state.h"

#include <windows.h>
#include <sensapi.h>

#include <atomic>
#include <utility>

#include "flags/process_seams.h"

namespace {

bool ProbeNetwork() {
  bool (*const probe)() = Seams().networkProbe.load();
  return probe ? probe() : IsNetworkUp();
}

}  // namespace

bool IsNetworkUp() {
  // IsNetworkAlive's answer is the network's state. Its flags argument is written, not
  // read, so asking InternetGetConnectedState first for those flags would change nothing
  // but the cost: under Wine that call takes about 6 ms of processor time, which with
  // every worker asking once a second was most of an idle run's load.
  DWORD flags = 0;
  return IsNetworkAlive(&flags) != FALSE;
}

SharedNetworkState::SharedNetworkState(Probe probe, Clock clock, std::uint64_t maxAgeMs)
    : probe_(std::move(probe)), clock_(std::move(clock)), maxAgeMs_(maxAgeMs) {}

bool SharedNetworkState::IsUp() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!probed_ || clock_() - probedAt_ >= maxAgeMs_) {
    up_ = probe_();
    probedAt_ = clock_();  // the answer's age counts from when it came
    probed_ = true;
  }
  return up_;
}

bool IsNetworkUpShared() {
  static SharedNetworkState state(ProbeNetwork, [] { return static_cast<std::uint64_t>(GetTickCount64()); }, 500);
  return state.IsUp();
}
