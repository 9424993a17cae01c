#include "store/web_session_store.h"

namespace {

constexpr Query kCreate{"INSERT INTO web_sessions (id_hash, account_id, created, last_used) VALUES ($1, $2, $3, $3)"};
constexpr Query kFind{"SELECT s.account_id, s.created, s.last_used FROM web_sessions s "
                      "JOIN accounts a ON a.id = s.account_id WHERE s.id_hash = $1 AND a.enabled = 1"};
constexpr Query kTouch{"UPDATE web_sessions SET last_used = $1 WHERE id_hash = $2"};
constexpr Query kEnd{"DELETE FROM web_sessions WHERE id_hash = $1"};
constexpr Query kEndAll{"DELETE FROM web_sessions WHERE account_id = $1"};
constexpr Query kForgetStale{"DELETE FROM web_sessions WHERE last_used < $1 OR created < $2"};

constexpr int64_t kTouchEvery = 60;

}  // namespace

WebSessionStore::WebSessionStore(Database& db) : db_(db) {}

void WebSessionStore::Create(const std::string& idHash, int64_t accountId, int64_t now) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kCreate, idHash, accountId, now); });
}

std::optional<int64_t> WebSessionStore::Use(const std::string& idHash, int64_t now, const SessionLifetime& lifetime) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<int64_t> {
    const SqlResult found = sql(kFind, idHash);
    if (found.rows.empty()) return std::nullopt;
    const SqlRow& row = found.rows[0];
    const int64_t created = row.Int(1);
    const int64_t lastUsed = row.Int(2);
    if (now - lastUsed >= lifetime.idleSeconds || now - created >= lifetime.maxSeconds) {
      sql(kEnd, idHash);
      return std::nullopt;
    }
    if (now - lastUsed >= kTouchEvery) sql(kTouch, now, idHash);
    return row.Int(0);
  });
}

void WebSessionStore::End(const std::string& idHash) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kEnd, idHash); });
}

int WebSessionStore::EndAll(int64_t accountId) {
  return db_.WithConnection([&](SqlConnection& sql) { return static_cast<int>(sql(kEndAll, accountId).changed); });
}

void WebSessionStore::ForgetStale(int64_t now, const SessionLifetime& lifetime) {
  db_.WithConnection(
      [&](SqlConnection& sql) { sql(kForgetStale, now - lifetime.idleSeconds, now - lifetime.maxSeconds); });
}
