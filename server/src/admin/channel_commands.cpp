#include "admin/channel_commands.h"

#include <ostream>

#include "channels/channel_kind.h"

namespace {

const char* kChannelUsage =
    "channel commands:\n"
    "  channels EMAIL                             list the account's channels\n"
    "  channels EMAIL add KIND [failing|up|both]  add a channel: wecom, dingtalk, feishu, lark, slack or webhook;\n"
    "                                             its key, token, hook or address, then its signing secret\n"
    "                                             (empty for none) are read like passwords\n"
    "  channels EMAIL enable|disable|resume|remove ID\n"
    "  channels EMAIL events ID failing|up|both\n"
    "  channels EMAIL mail on|off [failing|up|both]\n"
    "  channels EMAIL deliveries                  the newest reminders for the channels, and their state\n"
    "  channel-test EMAIL ID                      send a test message now and show the reply\n";

const char* EventsText(int events) {
  return events == kEventFailing ? "failing" : events == kEventBackUp ? "up" : "both";
}

std::string ShownTarget(const Channel& channel) {
  return channel.kind == "mail" ? "(the account's address)" : ::ShownTarget(channel.kind, channel.target);
}

int Fail(ChannelCommandContext& c, const std::string& message) {
  c.err << message << "\n";
  return 1;
}

int List(ChannelCommandContext& c, int64_t accountId) {
  bool mailListed = false;
  for (const Channel& ch : c.channels.OfAccount(accountId)) {
    mailListed |= ch.kind == "mail";
    c.out << ch.id << "  " << ch.kind << "  " << ShownTarget(ch) << "  " << EventsText(ch.events)
          << (ch.enabled ? "  enabled" : "  disabled");
    if (!ch.secret.empty()) c.out << "  signed with " << MaskedSecret(ch.secret);
    if (!ch.pausedReason.empty()) c.out << "  paused: " << ch.pausedReason;
    c.out << "\n";
  }
  if (!mailListed) c.out << "-  mail  (the account's address)  both  enabled\n";
  return 0;
}

int Add(ChannelCommandContext& c, int64_t accountId, const std::string& kindName, int events) {
  const auto kind = ReadChannelKind(kindName);
  if (!kind || *kind == ChannelKind::Mail) return Fail(c, "unknown channel kind " + kindName + "\n" + kChannelUsage);
  const std::string target = c.readSecret("key, token, hook or address: ");
  if (const std::string problem = CheckChannelTarget(*kind, target); !problem.empty()) return Fail(c, problem);
  std::string secret;
  if (KindSigns(*kind)) {
    secret = c.readSecret("signing secret (empty for none): ");
  }
  const int64_t id = c.channels.Add(accountId, kindName, target, secret, events, c.nowMs / 1000);
  Channel added;
  added.kind = kindName;
  added.target = target;
  c.out << "channel " << id << " added: " << kindName << " " << ShownTarget(added) << "\n";
  return 0;
}

int Test(ChannelCommandContext& c, const Channel& channel) {
  const auto [reply, verdict] = SendTestMessage(channel, c.endpoints, c.post, c.nowMs);
  c.out << "reply: " << ReplySummary(reply) << "\n";
  if (verdict.outcome == Outcome::Delivered) {
    c.out << "delivered\n";
    return 0;
  }
  c.out << (verdict.outcome == Outcome::Refused ? "refused: " : "not delivered: ") << verdict.reason << "\n";
  return 1;
}

}  // namespace

std::optional<int> RunChannelCommand(ChannelCommandContext& c, const std::vector<std::string>& args) {
  const size_t n = args.size();
  if (n == 0 || (args[0] != "channels" && args[0] != "channel-test")) return std::nullopt;
  if (n < 2) return Fail(c, kChannelUsage);
  const auto account = c.accounts.Find(args[1]);
  if (!account) return Fail(c, "no account " + args[1]);
  const int64_t accountId = account->id;

  if (args[0] == "channel-test") {
    const auto id = n == 3 ? ReadChannelId(args[2]) : std::nullopt;
    if (!id) return Fail(c, kChannelUsage);
    const auto channel = c.channels.Find(accountId, *id);
    if (!channel) return Fail(c, "no channel " + args[2] + " of " + args[1]);
    return Test(c, *channel);
  }
  if (n == 2) return List(c, accountId);
  const std::string& verb = args[2];
  if (verb == "add" && (n == 4 || n == 5)) {
    const auto events = n == 5 ? ReadEventsChoice(args[4]) : std::optional<int>(kEventFailing | kEventBackUp);
    if (!events) return Fail(c, kChannelUsage);
    return Add(c, accountId, args[3], *events);
  }
  if (verb == "deliveries" && n == 3) {
    for (const Delivery& d : c.channels.Deliveries(accountId, 100)) {
      c.out << d.id << "  channel " << d.channelId << "  " << d.state << "  "
            << (d.event.templateId == 1 ? "failing " : "back up ") << d.event.statusCode << "  attempts " << d.attempts
            << "  next " << d.nextAttempt;
      if (!d.lastError.empty()) c.out << "  last error: " << d.lastError;
      c.out << "\n";
    }
    return 0;
  }
  if (verb == "mail" && (n == 4 || n == 5) && (args[3] == "on" || args[3] == "off")) {
    const auto events = n == 5 ? ReadEventsChoice(args[4]) : std::optional<int>(kEventFailing | kEventBackUp);
    if (!events) return Fail(c, kChannelUsage);
    c.channels.SetMail(accountId, args[3] == "on", *events, c.nowMs / 1000);
    c.out << "mail " << args[3] << " for " << args[1] << "\n";
    return 0;
  }
  const auto id = n >= 4 ? ReadChannelId(args[3]) : std::nullopt;
  if (!id) return Fail(c, kChannelUsage);
  bool done = false;
  if (verb == "events" && n == 5) {
    const auto events = ReadEventsChoice(args[4]);
    if (!events) return Fail(c, kChannelUsage);
    done = c.channels.SetEvents(accountId, *id, *events);
  } else if ((verb == "enable" || verb == "disable") && n == 4) {
    done = c.channels.SetEnabled(accountId, *id, verb == "enable");
  } else if (verb == "resume" && n == 4) {
    done = c.channels.Resume(accountId, *id);
  } else if (verb == "remove" && n == 4) {
    done = c.channels.Remove(accountId, *id);
  } else {
    return Fail(c, kChannelUsage);
  }
  if (!done) return Fail(c, "no channel " + args[3] + " of " + args[1]);
  c.out << "channel " << *id << " " << verb << (verb.back() == 'e' ? "d" : "ed") << "\n";
  return 0;
}
