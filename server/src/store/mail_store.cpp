#include "store/mail_store.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS mails (
  id INTEGER PRIMARY KEY,
  account_id INTEGER NOT NULL,
  recipient TEXT NOT NULL,
  message TEXT NOT NULL,
  state TEXT NOT NULL DEFAULT 'queued',
  attempts INTEGER NOT NULL DEFAULT 0,
  created INTEGER NOT NULL,
  next_attempt INTEGER NOT NULL,
  sent_at INTEGER NOT NULL DEFAULT 0,
  last_error TEXT NOT NULL DEFAULT '');
CREATE INDEX IF NOT EXISTS mails_due ON mails (state, next_attempt);
CREATE INDEX IF NOT EXISTS mails_by_account ON mails (account_id, created);
)sql";

constexpr const char* kColumns =
    "SELECT id, recipient, message, state, attempts, created, next_attempt, sent_at, last_error FROM mails ";

Database& WithSchema(Database& db) {
  db.Locked([&db] { db.Exec(kSchema); });
  return db;
}

QueuedMail ReadMail(Statement& row) {
  return QueuedMail{row.Int(0), row.Text(1), row.Text(2), row.Text(3), static_cast<int>(row.Int(4)),
                    row.Int(5), row.Int(6), row.Int(7), row.Text(8)};
}

}  // namespace

MailStore::MailStore(Database& db)
    : db_(WithSchema(db)),
      countRecent_(db.Handle(), "SELECT COUNT(*) FROM mails WHERE account_id = ? AND created > ?"),
      insert_(db.Handle(),
              "INSERT INTO mails (account_id, recipient, message, created, next_attempt) VALUES (?, ?, ?, ?, ?)"),
      due_(db.Handle(), std::string(kColumns) + "WHERE state = 'queued' AND next_attempt <= ? ORDER BY id LIMIT ?"),
      nextDue_(db.Handle(), "SELECT MIN(next_attempt) FROM mails WHERE state = 'queued'"),
      beginAttempt_(db.Handle(), "UPDATE mails SET attempts = ?, next_attempt = ? WHERE id = ? AND state = 'queued'"),
      markSent_(db.Handle(), "UPDATE mails SET state = 'sent', sent_at = ?, last_error = '' WHERE id = ?"),
      markFailed_(db.Handle(),
                  "UPDATE mails SET state = ?, attempts = ?, next_attempt = ?, last_error = ? WHERE id = ?") {}

std::optional<int64_t> MailStore::Enqueue(int64_t accountId, const std::string& recipient,
                                          const std::string& message, int64_t now, int hourlyLimit) {
  return db_.Locked([&]() -> std::optional<int64_t> {
    countRecent_.Bind(accountId, now - 3600).Step();
    const int64_t recent = countRecent_.Int(0);
    countRecent_.Reset();
    if (recent >= hourlyLimit) return std::nullopt;
    insert_.Bind(accountId, recipient, message, now, now).Run();
    return db_.LastInsertId();
  });
}

std::vector<QueuedMail> MailStore::Due(int64_t now, int limit) {
  return db_.Locked([&] {
    std::vector<QueuedMail> mails;
    due_.Bind(now, limit);
    while (due_.Step()) mails.push_back(ReadMail(due_));
    return mails;
  });
}

std::optional<int64_t> MailStore::NextDue() {
  return db_.Locked([&] {
    nextDue_.Bind().Step();
    std::optional<int64_t> due;
    if (!nextDue_.IsNull(0)) due = nextDue_.Int(0);
    nextDue_.Reset();
    return due;
  });
}

void MailStore::BeginAttempt(int64_t id, int attempts, int64_t nextAttempt) {
  db_.Locked([&] { beginAttempt_.Bind(attempts, nextAttempt, id).Run(); });
}

void MailStore::MarkSent(int64_t id, int64_t now) {
  db_.Locked([&] { markSent_.Bind(now, id).Run(); });
}

void MailStore::MarkFailed(int64_t id, int attempts, std::optional<int64_t> nextAttempt, const std::string& error) {
  db_.Locked([&] {
    markFailed_.Bind(nextAttempt ? "queued" : "failed", attempts, nextAttempt.value_or(0), error, id).Run();
  });
}

int MailStore::Purge(int64_t queuedBefore) {
  return db_.Locked([&] {
    Statement(db_.Handle(), "DELETE FROM mails WHERE state <> 'queued' AND created < ?").Bind(queuedBefore).Run();
    return db_.Changes();
  });
}

MailQueueFacts MailStore::QueueFacts(int64_t now) {
  return db_.Locked([&] {
    Statement queued(db_.Handle(), "SELECT COUNT(*), MIN(created) FROM mails WHERE state = 'queued'");
    queued.Bind().Step();
    return MailQueueFacts{queued.Int(0), queued.IsNull(1) ? 0 : std::max<int64_t>(0, now - queued.Int(1))};
  });
}

std::vector<QueuedMail> MailStore::List(const std::string& state, int limit) {
  return db_.Locked([&] {
    Statement list(db_.Handle(), std::string(kColumns) + "WHERE ? = '' OR state = ? ORDER BY id DESC LIMIT ?");
    list.Bind(state, state, limit);
    std::vector<QueuedMail> mails;
    while (list.Step()) mails.push_back(ReadMail(list));
    return mails;
  });
}
