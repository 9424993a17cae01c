#include "store/channel_store.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "store/lease_owner.h"
#include "store/mail_store.h"

namespace {

#define CHANNEL_COLUMNS "id, account_id, kind, target, secret, events, enabled, paused_reason, wait_until, recent_sends"
#define DELIVERY_COLUMNS \
  "id, channel_id, template_id, status_code, site, event_time, down_seconds, state, attempts, next_attempt, last_error"

constexpr Query kAdd{"INSERT INTO channels (account_id, kind, target, secret, events, created) "
                     "VALUES ($1, $2, $3, $4, $5, $6) RETURNING id"};
constexpr Query kOfAccount{"SELECT " CHANNEL_COLUMNS " FROM channels WHERE account_id = $1 ORDER BY id"};
constexpr Query kFind{"SELECT " CHANNEL_COLUMNS " FROM channels WHERE account_id = $1 AND id = $2"};
constexpr Query kSetEnabled{"UPDATE channels SET enabled = $1 WHERE account_id = $2 AND id = $3"};
constexpr Query kSetEvents{"UPDATE channels SET events = $1 WHERE account_id = $2 AND id = $3"};
constexpr Query kResume{"UPDATE channels SET paused_reason = '', wait_until = 0 WHERE account_id = $1 AND id = $2"};
constexpr Query kRemove{"DELETE FROM channels WHERE account_id = $1 AND id = $2"};
constexpr Query kRemoveDeliveries{"DELETE FROM deliveries WHERE channel_id = $1 AND state = 'queued'"};
constexpr Query kMailRow{"SELECT id FROM channels WHERE account_id = $1 AND kind = 'mail'"};
constexpr Query kUpdateMail{"UPDATE channels SET enabled = $1, events = $2 WHERE id = $3"};
constexpr Query kAddMail{"INSERT INTO channels (account_id, kind, target, enabled, events, created) "
                         "VALUES ($1, 'mail', '', $2, $3, $4)"};

// PostgreSQL holds the account's row, so two instances count the hour's reminders in turn;
// SQLite's write transaction already excludes every other writer.
constexpr Query kLockAccount{"SELECT $1", "SELECT 1 FROM accounts WHERE id = $1 FOR UPDATE"};
constexpr Query kCountReminders{
    "SELECT COUNT(DISTINCT reminder) FROM deliveries WHERE account_id = $1 AND created > $2"};
constexpr Query kInsertDelivery{
    "INSERT INTO deliveries (channel_id, account_id, reminder, template_id, status_code, site, event_time, "
    "down_seconds, created, next_attempt) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $9)"};
constexpr Query kMarkFailing{"INSERT INTO site_states (account_id, site, failing_since) VALUES ($1, $2, $3) "
                             "ON CONFLICT (account_id, site) DO NOTHING"};
constexpr Query kFailingSince{"SELECT failing_since FROM site_states WHERE account_id = $1 AND site = $2"};
constexpr Query kMarkUp{"DELETE FROM site_states WHERE account_id = $1 AND site = $2"};

// Channels another instance is claiming at this moment are skipped, not waited for. When a
// delivery is due goes by the caller's `now`; claims by the database's clock.
#define CLAIMABLE(NOW)                                                                                     \
  "SELECT c.id FROM channels c WHERE c.kind <> 'mail' AND c.enabled = 1 AND c.paused_reason = '' AND "     \
  "c.wait_until <= $3 AND c.lease_until <= " NOW " AND EXISTS (SELECT 1 FROM deliveries d WHERE "          \
  "d.channel_id = c.id AND d.state = 'queued' AND d.next_attempt <= $3) ORDER BY c.id LIMIT $4"
constexpr Query kClaim{"UPDATE channels SET lease_owner = $1, lease_until = " LEASE_NOW_SQLITE " + $2 WHERE id IN ("
                       CLAIMABLE(LEASE_NOW_SQLITE) ") RETURNING " CHANNEL_COLUMNS,
                       "UPDATE channels SET lease_owner = $1, lease_until = " LEASE_NOW_POSTGRES " + $2 WHERE id IN ("
                       CLAIMABLE(LEASE_NOW_POSTGRES) " FOR UPDATE SKIP LOCKED) RETURNING " CHANNEL_COLUMNS};
#undef CLAIMABLE
constexpr Query kDue{"SELECT " DELIVERY_COLUMNS " FROM deliveries WHERE channel_id = $1 AND state = 'queued' "
                     "AND next_attempt <= $2 ORDER BY id LIMIT $3"};
constexpr Query kRenewClaim{"UPDATE channels SET recent_sends = $1, lease_until = " LEASE_NOW_SQLITE " + $2 "
                            "WHERE id = $3 AND lease_owner = $4 AND lease_until > 0",
                            "UPDATE channels SET recent_sends = $1, lease_until = " LEASE_NOW_POSTGRES " + $2 "
                            "WHERE id = $3 AND lease_owner = $4 AND lease_until > 0"};
// Whether `owner` still holds the channel. It writes nothing new, but holds the row (on
// PostgreSQL; SQLite's write transaction holds every row) until the caller's transaction ends,
// so no claim can take the channel over between this check and the records that follow it.
constexpr Query kHolds{"UPDATE channels SET lease_owner = lease_owner WHERE id = $1 AND lease_owner = $2"};
constexpr Query kBeginAttempt{"UPDATE deliveries SET attempts = $1, next_attempt = $2 "
                              "WHERE id = $3 AND state = 'queued'"};
constexpr Query kMarkSent{"UPDATE deliveries SET state = 'sent', sent_at = $1, last_error = '' WHERE id = $2"};
constexpr Query kMarkFailed{"UPDATE deliveries SET state = $1, next_attempt = $2, last_error = $3 "
                            "WHERE id = $4 AND state = 'queued'"};
constexpr Query kPostpone{"UPDATE deliveries SET attempts = MAX(attempts - 1, 0), next_attempt = $1, last_error = $2 "
                          "WHERE id = $3 AND state = 'queued'",
                          "UPDATE deliveries SET attempts = GREATEST(attempts - 1, 0), next_attempt = $1, "
                          "last_error = $2 WHERE id = $3 AND state = 'queued'"};
constexpr Query kWait{"UPDATE channels SET wait_until = $1 WHERE id = $2"};
constexpr Query kHeldWait{"UPDATE channels SET wait_until = $1 WHERE id = $2 AND lease_owner = $3"};
constexpr Query kPause{"UPDATE channels SET paused_reason = $1 WHERE id = $2 AND paused_reason = ''"};
constexpr Query kOwnerOf{"SELECT a.id, a.email FROM channels c JOIN accounts a ON a.id = c.account_id "
                        "WHERE c.id = $1"};
constexpr Query kRelease{"UPDATE channels SET lease_owner = '', lease_until = 0 WHERE id = $1 AND lease_owner = $2"};
// The end of a claim, told in the caller's clock.
constexpr Query kNextDue{
    "SELECT MIN(MAX(d.next_attempt, c.wait_until, c.lease_until - " LEASE_NOW_SQLITE " + $1)) FROM deliveries d "
    "JOIN channels c ON c.id = d.channel_id WHERE d.state = 'queued' AND c.enabled = 1 AND c.paused_reason = ''",
    "SELECT MIN(GREATEST(d.next_attempt, c.wait_until, c.lease_until - " LEASE_NOW_POSTGRES " + $1)) FROM deliveries "
    "d JOIN channels c ON c.id = d.channel_id WHERE d.state = 'queued' AND c.enabled = 1 AND c.paused_reason = ''"};
constexpr Query kPurge{"DELETE FROM deliveries WHERE state <> 'queued' AND created < $1"};
constexpr Query kPurgeSites{"DELETE FROM site_states WHERE failing_since < $1"};
constexpr Query kDeliveries{"SELECT " DELIVERY_COLUMNS " FROM deliveries WHERE account_id = $1 "
                            "ORDER BY id DESC LIMIT $2"};
constexpr Query kPaused{"SELECT COUNT(*) FROM channels WHERE paused_reason <> ''"};

#undef CHANNEL_COLUMNS
#undef DELIVERY_COLUMNS

std::vector<int64_t> ReadTimes(const std::string& text) {
  std::vector<int64_t> times;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    int64_t value = 0;
    if (std::from_chars(text.data() + start, text.data() + end, value).ec == std::errc()) times.push_back(value);
    start = end + 1;
  }
  return times;
}

std::string WriteTimes(const std::vector<int64_t>& times) {
  std::string text;
  for (int64_t time : times) {
    if (!text.empty()) text += ',';
    text += std::to_string(time);
  }
  return text;
}

Channel ReadChannel(const SqlRow& row) {
  return Channel{row.Int(0), row.Int(1), row.Text(2), row.Text(3), row.Text(4), static_cast<int>(row.Int(5)),
                 row.Int(6) != 0, row.Text(7), row.Int(8), ReadTimes(row.Text(9))};
}

std::vector<Channel> ReadChannels(const SqlResult& result) {
  std::vector<Channel> channels;
  for (const SqlRow& row : result.rows) channels.push_back(ReadChannel(row));
  return channels;
}

std::vector<Delivery> ReadDeliveries(const SqlResult& result) {
  std::vector<Delivery> deliveries;
  for (const SqlRow& row : result.rows) {
    deliveries.push_back(Delivery{row.Int(0), row.Int(1),
                                  ReminderEvent{static_cast<int>(row.Int(2)), static_cast<int>(row.Int(3)),
                                                row.Text(4), row.Int(5)},
                                  row.Int(6), row.Text(7), static_cast<int>(row.Int(8)), row.Int(9), row.Text(10)});
  }
  return deliveries;
}

std::string NewReminderKey() {
  unsigned char random[12];
  randombytes_buf(random, sizeof random);
  char hex[sizeof random * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, random, sizeof random);
  return hex;
}

}  // namespace

ChannelStore::ChannelStore(Database& db) : db_(db) {}

int64_t ChannelStore::Add(int64_t accountId, const std::string& kind, const std::string& target,
                          const std::string& secret, int events, int64_t now) {
  return db_.WithConnection(
      [&](SqlConnection& sql) { return sql(kAdd, accountId, kind, target, secret, events, now).rows.at(0).Int(0); });
}

std::vector<Channel> ChannelStore::OfAccount(int64_t accountId) {
  return db_.WithConnection([&](SqlConnection& sql) { return ReadChannels(sql(kOfAccount, accountId)); });
}

std::optional<Channel> ChannelStore::Find(int64_t accountId, int64_t channelId) {
  auto found = db_.WithConnection([&](SqlConnection& sql) { return ReadChannels(sql(kFind, accountId, channelId)); });
  if (found.empty()) return std::nullopt;
  return found.front();
}

bool ChannelStore::SetEnabled(int64_t accountId, int64_t channelId, bool enabled) {
  return db_.WithConnection(
      [&](SqlConnection& sql) { return sql(kSetEnabled, enabled, accountId, channelId).changed == 1; });
}

bool ChannelStore::SetEvents(int64_t accountId, int64_t channelId, int events) {
  return db_.WithConnection(
      [&](SqlConnection& sql) { return sql(kSetEvents, events, accountId, channelId).changed == 1; });
}

bool ChannelStore::Resume(int64_t accountId, int64_t channelId) {
  return db_.WithConnection([&](SqlConnection& sql) { return sql(kResume, accountId, channelId).changed == 1; });
}

bool ChannelStore::Remove(int64_t accountId, int64_t channelId) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kRemove, accountId, channelId).changed != 1) return false;
    sql(kRemoveDeliveries, channelId);
    return true;
  });
}

void ChannelStore::SetMail(int64_t accountId, bool enabled, int events, int64_t now) {
  db_.InTransaction([&](SqlConnection& sql) {
    sql(kLockAccount, accountId);
    const SqlResult row = sql(kMailRow, accountId);
    if (row.rows.empty()) {
      sql(kAddMail, accountId, enabled, events, now);
    } else {
      sql(kUpdateMail, enabled, events, row.rows[0].Int(0));
    }
  });
}

std::optional<ChannelStore::Accepted> ChannelStore::AcceptReminder(int64_t accountId, const std::string& recipient,
                                                                   const std::string& mailMessage,
                                                                   const ReminderEvent& event, int64_t now,
                                                                   int hourlyLimit) {
  const int bit = event.templateId == 1 ? kEventFailing : kEventBackUp;
  return db_.InTransaction([&](SqlConnection& sql) -> std::optional<Accepted> {
    sql(kLockAccount, accountId);
    const std::vector<Channel> channels = ReadChannels(sql(kOfAccount, accountId));
    const auto mail = std::find_if(channels.begin(), channels.end(), [](const Channel& c) { return c.kind == "mail"; });
    Accepted accepted;
    accepted.mailQueued = mail == channels.end() || (mail->enabled && (mail->events & bit));
    // The hour's limit counts the mails, as it always has, or the reminders when mail is off.
    if (accepted.mailQueued) {
      const ReminderSubject subject{event.site, event.templateId, event.statusCode};
      if (!MailStore::EnqueueIn(sql, accountId, recipient, mailMessage, now, hourlyLimit, subject)) {
        return std::nullopt;
      }
    } else if (sql(kCountReminders, accountId, now - 3600).rows.at(0).Int(0) >= hourlyLimit) {
      return std::nullopt;
    }
    // The first "failing" of a site starts its outage; its "back up" ends it and says how long.
    int64_t downSeconds = -1;
    if (event.templateId == 1) {
      sql(kMarkFailing, accountId, event.site, event.time);
    } else {
      const SqlResult since = sql(kFailingSince, accountId, event.site);
      if (!since.rows.empty()) downSeconds = std::max<int64_t>(0, event.time - since.rows[0].Int(0));
      sql(kMarkUp, accountId, event.site);
    }
    const std::string reminder = NewReminderKey();
    for (const Channel& channel : channels) {
      if (channel.kind == "mail" || !channel.enabled || !(channel.events & bit)) continue;
      sql(kInsertDelivery, channel.id, accountId, reminder, event.templateId, event.statusCode, event.site,
          event.time, downSeconds, now);
      ++accepted.deliveries;
    }
    return accepted;
  });
}

std::vector<Channel> ChannelStore::Claim(const std::string& owner, int64_t now, int64_t leaseSeconds, int limit) {
  auto channels = db_.WithConnection(
      [&](SqlConnection& sql) { return ReadChannels(sql(kClaim, owner, leaseSeconds, now, limit)); });
  std::sort(channels.begin(), channels.end(), [](const Channel& a, const Channel& b) { return a.id < b.id; });
  return channels;
}

std::vector<Delivery> ChannelStore::Due(int64_t channelId, int64_t now, int limit) {
  return db_.WithConnection([&](SqlConnection& sql) { return ReadDeliveries(sql(kDue, channelId, now, limit)); });
}

bool ChannelStore::BeginAttempt(int64_t channelId, const std::string& owner,
                                const std::vector<AttemptRecord>& attempts, const std::vector<int64_t>& recentSends,
                                int64_t leaseSeconds) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kRenewClaim, WriteTimes(recentSends), leaseSeconds, channelId, owner).changed != 1) return false;
    for (const AttemptRecord& a : attempts) sql(kBeginAttempt, a.attempts, a.nextAttempt.value_or(0), a.id);
    return true;
  });
}

bool ChannelStore::MarkSent(int64_t channelId, const std::string& owner, const std::vector<int64_t>& ids,
                            int64_t now) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kHolds, channelId, owner).changed != 1) return false;
    for (int64_t id : ids) sql(kMarkSent, now, id);
    return true;
  });
}

bool ChannelStore::MarkFailed(int64_t channelId, const std::string& owner, const std::vector<AttemptRecord>& attempts,
                              const std::string& error) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kHolds, channelId, owner).changed != 1) return false;
    for (const AttemptRecord& a : attempts) {
      sql(kMarkFailed, a.nextAttempt ? "queued" : "failed", a.nextAttempt.value_or(0), error, a.id);
    }
    return true;
  });
}

bool ChannelStore::Postpone(int64_t channelId, const std::string& owner, const std::vector<int64_t>& ids,
                            int64_t until, const std::string& error) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kHolds, channelId, owner).changed != 1) return false;
    for (int64_t id : ids) sql(kPostpone, until, error, id);
    sql(kWait, until, channelId);
    return true;
  });
}

bool ChannelStore::Pause(int64_t channelId, const std::string& reason,
                         const std::function<std::string(const std::string& ownerAddress)>& notice, int64_t now) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kPause, reason.empty() ? std::string("refused") : reason, channelId).changed != 1) return false;
    const SqlResult owner = sql(kOwnerOf, channelId);
    // The notice is not held back by the hour's limit on reminder mails.
    if (!owner.rows.empty()) {
      const std::string address = owner.rows[0].Text(1);
      MailStore::EnqueueIn(sql, owner.rows[0].Int(0), address, notice(address), now, INT32_MAX);
    }
    return true;
  });
}

void ChannelStore::WaitUntil(int64_t channelId, const std::string& owner, int64_t until) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kHeldWait, until, channelId, owner); });
}

void ChannelStore::Release(int64_t channelId, const std::string& owner) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kRelease, channelId, owner); });
}

std::optional<int64_t> ChannelStore::NextDue(int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<int64_t> {
    const SqlResult due = sql(kNextDue, now);
    if (due.rows.at(0).IsNull(0)) return std::nullopt;
    return due.rows[0].Int(0);
  });
}

int ChannelStore::Purge(int64_t before) {
  return db_.InTransaction([&](SqlConnection& sql) {
    sql(kPurgeSites, before);
    return static_cast<int>(sql(kPurge, before).changed);
  });
}

std::vector<Delivery> ChannelStore::Deliveries(int64_t accountId, int limit) {
  return db_.WithConnection([&](SqlConnection& sql) { return ReadDeliveries(sql(kDeliveries, accountId, limit)); });
}

int64_t ChannelStore::PausedChannels() {
  return db_.WithConnection([&](SqlConnection& sql) { return sql(kPaused).rows.at(0).Int(0); });
}
