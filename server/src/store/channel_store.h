// The reminder channels of each account (chat robots and webhooks beside mail) and the
// deliveries waiting for them, in the service's database.
//
// A reminder the program sends becomes, in one transaction committed before the program is
// told it was accepted, the mail (unless the owner turned mail off) and one delivery per
// enabled channel that wants the event. An account without a mail row gets mail, as it
// always did.
//
// Senders claim whole channels for a while (a lease), so one instance at a time talks to a
// channel and its rate is kept across instances; deliveries carry their attempts and next
// try as mails do.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

// Which events a channel wants: a bit for failing, a bit for back up.
inline constexpr int kEventFailing = 1;
inline constexpr int kEventBackUp = 2;

struct Channel {
  int64_t id = 0;
  int64_t accountId = 0;
  std::string kind;    // "mail", "wecom", "dingtalk", "feishu", "lark", "slack" or "webhook"
  std::string target;  // the robot's key, token or hook, or the webhook's address
  std::string secret;  // the signing secret, "" for none
  int events = kEventFailing | kEventBackUp;
  bool enabled = true;
  std::string pausedReason;         // the vendor's refusal; "" while the channel is not paused
  int64_t waitUntil = 0;            // nothing is sent before this (the vendor asked to wait)
  std::vector<int64_t> recentSends;  // times (milliseconds) of the requests sent in the last minute
};

// One reminder as the program reported it.
struct ReminderEvent {
  int templateId = 1;  // 1 = failing, 2 = back up
  int statusCode = 0;
  std::string site;
  int64_t time = 0;
};

struct Delivery {
  int64_t id = 0;
  int64_t channelId = 0;
  ReminderEvent event;
  int64_t downSeconds = -1;  // for a "back up": how long the site was failing, -1 when unknown
  std::string state;         // "queued", "sent" or "failed"
  int attempts = 0;
  int64_t nextAttempt = 0;
  std::string lastError;
};

// What a delivery attempt writes beforehand: its number and when the next may be made.
struct AttemptRecord {
  int64_t id = 0;
  int attempts = 0;
  std::optional<int64_t> nextAttempt;  // nothing: this was the last attempt
};

class ChannelStore {
 public:
  explicit ChannelStore(Database& db);

  // Management, for the operator tool and the account page. Every change names the account,
  // so one account can never touch another's channel; false when no such channel is there.
  int64_t Add(int64_t accountId, const std::string& kind, const std::string& target, const std::string& secret,
              int events, int64_t now);
  std::vector<Channel> OfAccount(int64_t accountId);
  std::optional<Channel> Find(int64_t accountId, int64_t channelId);
  bool SetEnabled(int64_t accountId, int64_t channelId, bool enabled);
  bool SetEvents(int64_t accountId, int64_t channelId, int events);
  // Ends a pause: the deliveries that waited go out.
  bool Resume(int64_t accountId, int64_t channelId);
  // Deletes the channel and the deliveries still waiting for it.
  bool Remove(int64_t accountId, int64_t channelId);
  // Mail on or off for the account, and for which events.
  void SetMail(int64_t accountId, bool enabled, int events, int64_t now);

  struct Accepted {
    bool mailQueued = false;
    int deliveries = 0;
  };
  // Records a reminder: the mail `mailMessage` to `recipient` when the account gets mail for
  // this event, and a delivery for every enabled channel that wants it. Nothing, and nothing
  // written, when the account has had `hourlyLimit` reminders in the hour before.
  std::optional<Accepted> AcceptReminder(int64_t accountId, const std::string& recipient,
                                         const std::string& mailMessage, const ReminderEvent& event, int64_t now,
                                         int hourlyLimit);

  // Claims for `owner`, for `leaseSeconds`, up to `limit` channels with deliveries due at
  // `now` that are neither paused nor waiting and that no one else holds. Claims begin and
  // end by the database's clock, so instances whose clocks differ still agree on them; when
  // a delivery is due goes by the caller's `now`.
  std::vector<Channel> Claim(const std::string& owner, int64_t now, int64_t leaseSeconds, int limit);
  // The deliveries of a channel due at `now`, oldest first.
  std::vector<Delivery> Due(int64_t channelId, int64_t now, int limit);
  // Before a request goes out: the attempts of the deliveries it carries, the channel's
  // sends for its rate, and the claim renewed for `leaseSeconds` from now. False, and nothing
  // written, when `owner` no longer holds the channel.
  bool BeginAttempt(int64_t channelId, const std::string& owner, const std::vector<AttemptRecord>& attempts,
                    const std::vector<int64_t>& recentSends, int64_t leaseSeconds);
  // The next three record what the vendor answered, only while `owner` holds the channel:
  // false, and nothing written, once its claim ended and another instance took it over.
  // The vendor accepted the deliveries.
  bool MarkSent(int64_t channelId, const std::string& owner, const std::vector<int64_t>& ids, int64_t now);
  // A failed attempt: each delivery is retried at its next attempt, or given up.
  bool MarkFailed(int64_t channelId, const std::string& owner, const std::vector<AttemptRecord>& attempts,
                  const std::string& error);
  // The vendor asked to wait: the deliveries and the channel wait until `until`, and the
  // attempt does not count toward giving up.
  bool Postpone(int64_t channelId, const std::string& owner, const std::vector<int64_t>& ids, int64_t until,
                const std::string& error);
  // The vendor refused the channel for good (a wrong signature, a deleted hook): pauses it
  // with the vendor's reason. Only the call that pauses it queues a mail to the owner, the
  // message `notice(ownerAddress)`, in the same transaction, so the owner is told once. True
  // when this call paused it.
  bool Pause(int64_t channelId, const std::string& reason,
             const std::function<std::string(const std::string& ownerAddress)>& notice, int64_t now);
  // The rate allows nothing more before `until` (written while `owner` holds the channel).
  void WaitUntil(int64_t channelId, const std::string& owner, int64_t until);
  // Ends `owner`'s claim on a channel.
  void Release(int64_t channelId, const std::string& owner);
  // When the next delivery is due or a claim or wait ends, in the clock of `now`, if any waits.
  std::optional<int64_t> NextDue(int64_t now);
  // Deletes sent and given-up deliveries created before `before`, and what a site's state
  // no longer needs; how many deliveries.
  int Purge(int64_t before);
  // For the operator: an account's newest deliveries, and how many channels are paused.
  std::vector<Delivery> Deliveries(int64_t accountId, int limit);
  int64_t PausedChannels();

 private:
  Database& db_;
};
