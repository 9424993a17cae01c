#include "channels/rate_window.h"

#include <algorithm>

namespace {

constexpr int kUnlimited = 1000000;
constexpr int64_t kMinuteMs = 60000;

// Room within one window: the sends after `now - window` against `allowed`, and when the
// oldest of them leaves the window.
RateRoom RoomIn(int allowed, int64_t window, const std::vector<int64_t>& sorted, int64_t now) {
  if (allowed <= 0) return {kUnlimited, now};
  std::vector<int64_t> inside;
  for (int64_t t : sorted) {
    if (t > now - window) inside.push_back(t);
  }
  const int used = static_cast<int>(inside.size());
  if (used < allowed) return {allowed - used, now};
  // The send that must leave before one more may go.
  return {0, inside[static_cast<size_t>(used - allowed)] + window};
}

}  // namespace

std::vector<int64_t> RecentSends(std::vector<int64_t> sendsMs, int64_t nowMs) {
  std::sort(sendsMs.begin(), sendsMs.end());
  // A time far ahead (another instance's clock gone wrong) is dropped, not waited for.
  std::erase_if(sendsMs, [nowMs](int64_t t) { return t <= nowMs - kMinuteMs || t > nowMs + kMinuteMs; });
  return sendsMs;
}

RateRoom RoomFor(const KindLimits& limits, const std::vector<int64_t>& sendsMs, int64_t nowMs) {
  const std::vector<int64_t> sorted = RecentSends(sendsMs, nowMs);
  const RateRoom second = RoomIn(limits.perSecond, 1000, sorted, nowMs);
  const RateRoom minute = RoomIn(limits.perMinute, kMinuteMs, sorted, nowMs);
  if (second.now == 0 || minute.now == 0) {
    return {0, std::max(second.now == 0 ? second.nextFreeMs : nowMs, minute.now == 0 ? minute.nextFreeMs : nowMs)};
  }
  return {std::min(second.now, minute.now), nowMs};
}
