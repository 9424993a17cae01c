// The operator's commands for an account's reminder channels:
//   channels EMAIL                          list them (keys and secrets never in full)
//   channels EMAIL add KIND [failing|up|both]  add one; its key, token, hook or address and
//                                           its signing secret are read like passwords
//   channels EMAIL enable|disable|resume|remove ID
//   channels EMAIL events ID failing|up|both
//   channels EMAIL mail on|off [failing|up|both]
//   channels EMAIL deliveries               the newest reminders for the channels
//   channel-test EMAIL ID                   send a test message now and show the reply
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "channels/channel_sender.h"
#include "store/account_store.h"
#include "store/channel_store.h"

struct ChannelCommandContext {
  AccountStore& accounts;
  ChannelStore& channels;
  std::ostream& out;
  std::ostream& err;
  int64_t nowMs;
  std::string (*readSecret)(const char* prompt);
  VendorEndpoints endpoints;
  ChannelSender::Post post;
};

// The exit code of a channel command; nothing when `args` is not one.
std::optional<int> RunChannelCommand(ChannelCommandContext& context, const std::vector<std::string>& args);
