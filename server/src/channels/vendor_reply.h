// What a vendor's reply means for the messages it answered: delivered (what the vendor
// calls success, not merely HTTP 200), wait and send again ("too many requests"), try again
// on the back-off (an outage, an unknown error), or refused for good (a wrong signature or
// keyword, a deleted or archived hook, a redirect, which is never followed), which pauses
// the channel.
#pragma once

#include <cstdint>
#include <string>

#include "channels/channel_kind.h"

// A reply as it came back, or the transport's failure.
struct VendorReply {
  int status = 0;            // the HTTP status; 0 when no reply came
  int64_t retryAfter = -1;   // Retry-After in seconds, -1 when absent
  std::string body;          // as much as was read
  std::string error;         // the transport's failure, "" when a reply came
  std::string location;      // where a redirect pointed, "" for none
};

enum class Outcome { Delivered, Wait, Retry, Refused };

struct Verdict {
  Outcome outcome = Outcome::Retry;
  int64_t waitSeconds = 0;  // for Wait
  std::string reason;       // the vendor's own words, for the owner and the operator
};

Verdict JudgeVendorReply(ChannelKind kind, const VendorReply& reply);

// The reply as the "send test" button shows it: status and body, on one line, short.
std::string ReplySummary(const VendorReply& reply);
