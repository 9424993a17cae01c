// The HTTP request each channel kind sends for one message: the vendor's address with the
// owner's key, token or hook in it, its JSON body, and the signature where the channel has
// a secret.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "channels/channel_kind.h"
#include "store/channel_store.h"

struct OutgoingRequest {
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type: application/json
  std::string body;
};

// `carried` are the reminders the message holds (none for a test message); the generic
// webhook lists them beside the text. `nowMs` is the time of signing, in milliseconds.
OutgoingRequest BuildVendorRequest(ChannelKind kind, const Channel& channel, const std::string& text,
                                   const std::vector<Delivery>& carried, int64_t nowMs,
                                   const VendorEndpoints& endpoints);
