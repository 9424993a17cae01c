// The text of a channel message, in Simplified Chinese: one reminder, or several merged
// into one summary when more are due than the channel's rate allows. Times are shown in the
// service's time zone (the process's TZ).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/channel_store.h"

struct ComposedText {
  std::string text;
  size_t carried = 0;  // how many of the deliveries given it holds, from the first
};

// One message for `deliveries` (oldest first) within `maxBytes` of UTF-8, cut only between
// characters. A single delivery is told in full; several make a summary with a line each,
// as many as fit; those that do not fit are left for the next message, never dropped.
ComposedText ComposeChannelText(const std::vector<Delivery>& deliveries, size_t maxBytes);

// The message "send test" delivers.
std::string TestMessageText(int64_t now);

// The longest start of `text` of at most `maxBytes` that ends between two UTF-8 characters.
std::string CutUtf8(const std::string& text, size_t maxBytes);

// "3天2小时5分钟", "5分钟", "40秒".
std::string DurationText(int64_t seconds);
