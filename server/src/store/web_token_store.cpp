#include "store/web_token_store.h"

namespace {

constexpr Query kAdd{"INSERT INTO web_tokens (token_hash, purpose, email, password_hash, service_days, expires) "
                     "VALUES ($1, $2, $3, $4, $5, $6)"};
constexpr Query kCheck{"SELECT expires, used, email FROM web_tokens WHERE token_hash = $1 AND purpose = $2"};
constexpr Query kTake{"UPDATE web_tokens SET used = $1 WHERE token_hash = $2 AND purpose = $3 AND used = 0 "
                      "AND expires > $1 RETURNING purpose, email, password_hash, service_days, expires"};
constexpr Query kForgetExpired{"DELETE FROM web_tokens WHERE expires < $1"};

}  // namespace

WebTokenStore::WebTokenStore(Database& db) : db_(db) {}

void WebTokenStore::Add(const std::string& tokenHash, const WebToken& token) {
  db_.WithConnection([&](SqlConnection& sql) {
    sql(kAdd, tokenHash, token.purpose, token.email, token.passwordHash, token.serviceDays, token.expires);
  });
}

std::pair<TokenState, std::string> WebTokenStore::Check(const std::string& tokenHash, const std::string& purpose,
                                                       int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::pair<TokenState, std::string> {
    const SqlResult found = sql(kCheck, tokenHash, purpose);
    if (found.rows.empty()) return {TokenState::kUnknown, ""};
    const SqlRow& row = found.rows[0];
    if (row.Int(1) != 0) return {TokenState::kUsed, row.Text(2)};
    return {row.Int(0) <= now ? TokenState::kExpired : TokenState::kUsable, row.Text(2)};
  });
}

std::optional<WebToken> WebTokenStore::Take(const std::string& tokenHash, const std::string& purpose, int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<WebToken> {
    const SqlResult taken = sql(kTake, now, tokenHash, purpose);
    if (taken.rows.empty()) return std::nullopt;
    const SqlRow& row = taken.rows[0];
    return WebToken{row.Text(0), row.Text(1), row.Text(2), static_cast<int>(row.Int(3)), row.Int(4)};
  });
}

void WebTokenStore::ForgetExpired(int64_t before) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kForgetExpired, before); });
}
