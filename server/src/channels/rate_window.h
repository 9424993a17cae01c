// How many requests a channel may send now within its vendor's rate, from the times of the
// requests it sent (kept with the channel, so every instance counts the same sends). Times
// are in milliseconds: "one a second" must hold between two sends a few milliseconds apart
// on either side of a second's boundary.
#pragma once

#include <cstdint>
#include <vector>

#include "channels/channel_kind.h"

struct RateRoom {
  int now = 0;             // requests that may go at this moment
  int64_t nextFreeMs = 0;  // when one more may go, when `now` is 0
};

RateRoom RoomFor(const KindLimits& limits, const std::vector<int64_t>& sendsMs, int64_t nowMs);

// The sends that still count at `nowMs` (the last minute), oldest first.
std::vector<int64_t> RecentSends(std::vector<int64_t> sendsMs, int64_t nowMs);
