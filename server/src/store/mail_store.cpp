#include "store/mail_store.h"

#include <algorithm>

#include "store/lease_owner.h"

namespace {

#define MAIL_COLUMNS "id, recipient, message, state, attempts, created, next_attempt, sent_at, last_error"

// PostgreSQL holds the account's row while counting, so two instances cannot both take the
// hour's last mail; SQLite's write transaction already excludes every other writer.
constexpr Query kLockAccount{"SELECT $1", "SELECT 1 FROM accounts WHERE id = $1 FOR UPDATE"};
constexpr Query kCountRecent{"SELECT COUNT(*) FROM mails WHERE account_id = $1 AND created > $2"};
constexpr Query kInsert{"INSERT INTO mails (account_id, recipient, message, created, next_attempt, site, event, "
                        "status_code) VALUES ($1, $2, $3, $4, $4, $5, $6, $7) RETURNING id"};
constexpr Query kReminders{"SELECT site, event, status_code, created, state, attempts, sent_at FROM mails "
                           "WHERE account_id = $1 AND event <> 0 ORDER BY created DESC, id DESC LIMIT $2 OFFSET $3"};
// Mails another instance is claiming at this moment are skipped, not waited for.
constexpr Query kClaim{
    "UPDATE mails SET lease_owner = $1, lease_until = " LEASE_NOW_SQLITE " + $2 WHERE id IN (SELECT id FROM mails "
    "WHERE state = 'queued' AND next_attempt <= $3 AND lease_until <= " LEASE_NOW_SQLITE " ORDER BY id LIMIT $4) "
    "RETURNING " MAIL_COLUMNS,
    "UPDATE mails SET lease_owner = $1, lease_until = " LEASE_NOW_POSTGRES " + $2 WHERE id IN (SELECT id FROM mails "
    "WHERE state = 'queued' AND next_attempt <= $3 AND lease_until <= " LEASE_NOW_POSTGRES " ORDER BY id LIMIT $4 "
    "FOR UPDATE SKIP LOCKED) RETURNING " MAIL_COLUMNS};
// The end of a claim, told in the caller's clock.
constexpr Query kNextDue{
    "SELECT MIN(CASE WHEN lease_until - " LEASE_NOW_SQLITE " + $1 > next_attempt THEN lease_until - " LEASE_NOW_SQLITE
    " + $1 ELSE next_attempt END) FROM mails WHERE state = 'queued'",
    "SELECT MIN(CASE WHEN lease_until - " LEASE_NOW_POSTGRES " + $1 > next_attempt THEN lease_until - "
    LEASE_NOW_POSTGRES " + $1 ELSE next_attempt END) FROM mails WHERE state = 'queued'"};
constexpr Query kBeginAttempt{
    "UPDATE mails SET attempts = $1, next_attempt = $2, lease_until = " LEASE_NOW_SQLITE " + $3 "
    "WHERE id = $4 AND state = 'queued' AND lease_owner = $5",
    "UPDATE mails SET attempts = $1, next_attempt = $2, lease_until = " LEASE_NOW_POSTGRES " + $3 "
    "WHERE id = $4 AND state = 'queued' AND lease_owner = $5"};
constexpr Query kClaimed{"SELECT id FROM mails WHERE lease_owner = $1 AND state = 'queued'"};
constexpr Query kRelease{"UPDATE mails SET lease_owner = '', lease_until = 0 "
                         "WHERE id = $1 AND lease_owner = $2 AND state = 'queued'"};
constexpr Query kMarkSent{"UPDATE mails SET state = 'sent', sent_at = $1, last_error = '', lease_owner = '', "
                          "lease_until = 0 WHERE id = $2 AND lease_owner = $3"};
constexpr Query kMarkFailed{"UPDATE mails SET state = $1, attempts = $2, next_attempt = $3, last_error = $4, "
                            "lease_owner = '', lease_until = 0 WHERE id = $5 AND lease_owner = $6"};
constexpr Query kPurge{"DELETE FROM mails WHERE state <> 'queued' AND created < $1"};
constexpr Query kList{"SELECT " MAIL_COLUMNS " FROM mails WHERE $1 = '' OR state = $1 ORDER BY id DESC LIMIT $2"};
constexpr Query kQueueFacts{"SELECT COUNT(*), MIN(created) FROM mails WHERE state = 'queued'"};

#undef MAIL_COLUMNS

QueuedMail ReadMail(const SqlRow& row) {
  return QueuedMail{row.Int(0), row.Text(1), row.Text(2), row.Text(3), static_cast<int>(row.Int(4)),
                    row.Int(5), row.Int(6), row.Int(7), row.Text(8)};
}

std::vector<QueuedMail> ReadMails(const SqlResult& result) {
  std::vector<QueuedMail> mails;
  for (const SqlRow& row : result.rows) mails.push_back(ReadMail(row));
  return mails;
}

}  // namespace

MailStore::MailStore(Database& db) : db_(db) {}

std::optional<int64_t> MailStore::Enqueue(int64_t accountId, const std::string& recipient,
                                          const std::string& message, int64_t now, int hourlyLimit,
                                          const ReminderSubject& subject) {
  return db_.InTransaction([&](SqlConnection& sql) {
    return EnqueueIn(sql, accountId, recipient, message, now, hourlyLimit, subject);
  });
}

std::optional<int64_t> MailStore::EnqueueIn(SqlConnection& sql, int64_t accountId, const std::string& recipient,
                                            const std::string& message, int64_t now, int hourlyLimit,
                                            const ReminderSubject& subject) {
  sql(kLockAccount, accountId);
  if (sql(kCountRecent, accountId, now - 3600).rows.at(0).Int(0) >= hourlyLimit) return std::nullopt;
  return sql(kInsert, accountId, recipient, message, now, subject.site, subject.event, subject.statusCode)
      .rows.at(0)
      .Int(0);
}

std::vector<QueuedMail> MailStore::Claim(const std::string& owner, int64_t now, int64_t leaseSeconds, int limit) {
  auto mails =
      db_.WithConnection([&](SqlConnection& sql) { return ReadMails(sql(kClaim, owner, leaseSeconds, now, limit)); });
  std::sort(mails.begin(), mails.end(), [](const QueuedMail& a, const QueuedMail& b) { return a.id < b.id; });
  return mails;
}

std::optional<int64_t> MailStore::NextDue(int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<int64_t> {
    const SqlResult due = sql(kNextDue, now);
    if (due.rows.at(0).IsNull(0)) return std::nullopt;
    return due.rows[0].Int(0);
  });
}

bool MailStore::BeginAttempt(int64_t id, const std::string& owner, int attempts, int64_t nextAttempt,
                             int64_t leaseSeconds) {
  return db_.WithConnection([&](SqlConnection& sql) {
    return sql(kBeginAttempt, attempts, nextAttempt, leaseSeconds, id, owner).changed == 1;
  });
}

void MailStore::ReleaseClaims(const std::string& owner, const std::set<int64_t>& keep) {
  db_.WithConnection([&](SqlConnection& sql) {
    for (const SqlRow& row : sql(kClaimed, owner).rows) {
      if (!keep.contains(row.Int(0))) sql(kRelease, row.Int(0), owner);
    }
  });
}

bool MailStore::MarkSent(int64_t id, const std::string& owner, int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) { return sql(kMarkSent, now, id, owner).changed == 1; });
}

void MailStore::MarkFailed(int64_t id, const std::string& owner, int attempts, std::optional<int64_t> nextAttempt,
                           const std::string& error) {
  db_.WithConnection([&](SqlConnection& sql) {
    sql(kMarkFailed, nextAttempt ? "queued" : "failed", attempts, nextAttempt.value_or(0), error, id, owner);
  });
}

int MailStore::Purge(int64_t queuedBefore) {
  return db_.WithConnection([&](SqlConnection& sql) { return static_cast<int>(sql(kPurge, queuedBefore).changed); });
}

std::vector<QueuedMail> MailStore::List(const std::string& state, int limit) {
  return db_.WithConnection([&](SqlConnection& sql) { return ReadMails(sql(kList, state, limit)); });
}

MailQueueFacts MailStore::QueueFacts(int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) {
    const SqlResult facts = sql(kQueueFacts);
    const SqlRow& row = facts.rows.at(0);
    return MailQueueFacts{row.Int(0), row.IsNull(1) ? 0 : std::max<int64_t>(0, now - row.Int(1))};
  });
}

std::vector<ReminderEntry> MailStore::Reminders(int64_t accountId, int offset, int limit) {
  return db_.WithConnection([&](SqlConnection& sql) {
    std::vector<ReminderEntry> entries;
    for (const SqlRow& row : sql(kReminders, accountId, limit, offset).rows) {
      entries.push_back(ReminderEntry{{row.Text(0), static_cast<int>(row.Int(1)), static_cast<int>(row.Int(2))},
                                      row.Int(3), row.Text(4), static_cast<int>(row.Int(5)), row.Int(6)});
    }
    return entries;
  });
}
