// Sends one channel request over HTTP(S) with libcurl and brings back the reply: http and
// https only, no redirect followed, no proxy from the environment, the connected address
// checked (address_check.h), connect and total time-outs, and at most a small reply read.
#pragma once

#include <cstddef>

#include "channels/vendor_reply.h"
#include "channels/vendor_request.h"

struct PostLimits {
  bool allowPrivate = false;   // loopback, private and CGNAT addresses too (an intranet relay)
  long connectSeconds = 5;
  long totalSeconds = 10;
  size_t maxReplyBytes = 16 * 1024;
};

VendorReply PostChannelRequest(const OutgoingRequest& request, const PostLimits& limits);
