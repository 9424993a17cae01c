#include "channels/rate_window.h"

#include <algorithm>

namespace {

constexpr int kUnlimited = 1000000;

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

std::vector<int64_t> RecentSends(std::vector<int64_t> sends, int64_t now) {
  std::sort(sends.begin(), sends.end());
  std::erase_if(sends, [now](int64_t t) { return t <= now - 60 || t > now + 60; });
  return sends;
}

RateRoom RoomFor(const KindLimits& limits, const std::vector<int64_t>& sends, int64_t now) {
  const std::vector<int64_t> sorted = RecentSends(sends, now);
  const RateRoom second = RoomIn(limits.perSecond, 1, sorted, now);
  const RateRoom minute = RoomIn(limits.perMinute, 60, sorted, now);
  if (second.now == 0 || minute.now == 0) return {0, std::max(second.now == 0 ? second.nextFree : now,
                                                               minute.now == 0 ? minute.nextFree : now)};
  return {std::min(second.now, minute.now), now};
}
