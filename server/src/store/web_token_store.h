// The single-use links the service mails: to confirm a sign-up, to accept an invitation,
// to set a new password. Only a hash of each token is kept; each has an expiry and can be
// used once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "store/database.h"

struct WebToken {
  std::string purpose;       // "signup", "invite" or "reset"
  std::string email;
  std::string passwordHash;  // a sign-up's chosen password
  int serviceDays = 0;       // the days of service a new account gets
  int64_t expires = 0;
};

enum class TokenState { kUsable, kUnknown, kExpired, kUsed };

class WebTokenStore {
 public:
  explicit WebTokenStore(Database& db);

  void Add(const std::string& tokenHash, const WebToken& token);
  // What a link is worth now, without using it, and whose address it is for.
  std::pair<TokenState, std::string> Check(const std::string& tokenHash, const std::string& purpose, int64_t now);
  // Uses the token: its facts when it was usable, and never again; nothing otherwise. Two
  // requests with the same token, on any instance, never both get it.
  std::optional<WebToken> Take(const std::string& tokenHash, const std::string& purpose, int64_t now);
  // Deletes tokens that expired before `before`.
  void ForgetExpired(int64_t before);

 private:
  Database& db_;
};
