// Web sessions in the service's database, so that any instance serves any of them. Only a
// hash of each session id is kept: a copy of the database signs no one in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/database.h"

struct SessionLifetime {
  int64_t idleSeconds = 0;  // unused this long, a session ends
  int64_t maxSeconds = 0;   // this long after sign-in, it ends however busy
};

class WebSessionStore {
 public:
  explicit WebSessionStore(Database& db);

  void Create(const std::string& idHash, int64_t accountId, int64_t now);
  // The account of a live session whose account is enabled, its last use moved to `now`
  // (written at most once a minute); nothing otherwise.
  std::optional<int64_t> Use(const std::string& idHash, int64_t now, const SessionLifetime& lifetime);
  void End(const std::string& idHash);
  // Ends every session of the account (a new password); how many.
  int EndAll(int64_t accountId);
  // Deletes sessions that can no longer be used.
  void ForgetStale(int64_t now, const SessionLifetime& lifetime);

 private:
  Database& db_;
};
