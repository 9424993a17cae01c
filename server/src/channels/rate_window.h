// How many requests a channel may send now within its vendor's rate, from the times of the
// requests it sent (kept with the channel, so every instance counts the same sends).
#pragma once

#include <cstdint>
#include <vector>

#include "channels/channel_kind.h"

struct RateRoom {
  int now = 0;            // requests that may go at this moment
  int64_t nextFree = 0;   // when one more may go, when `now` is 0
};

RateRoom RoomFor(const KindLimits& limits, const std::vector<int64_t>& sends, int64_t now);

// The sends that still count at `now` (the last minute), oldest first.
std::vector<int64_t> RecentSends(std::vector<int64_t> sends, int64_t now);
