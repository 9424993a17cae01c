// Machines found signed in, remembered for a moment. Service information is what programs
// ask for most, and a machine that asks again within the moment is answered without the
// database. Only machines found signed in are kept: an address without an account and a
// machine that is not signed in always cost the same lookup (the time of an answer tells
// nothing about which accounts exist), and a machine that has just signed in is never
// answered from an older "not signed in".
//
// The price, per instance of the service: a new password, disabling, an earlier end of
// service or a machine forgotten by the operator reaches service information up to the
// cache's age later. Reminders always ask the database.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "store/account_store.h"

class SignedInCache {
 public:
  // `maxAgeSeconds` 0 keeps nothing; at most `capacity` machines are kept at once.
  explicit SignedInCache(int64_t maxAgeSeconds, size_t capacity = 10000)
      : maxAge_(maxAgeSeconds), capacity_(capacity) {}

  // The account `key` was found signed in to at most the cache's age before `now` (Unix
  // seconds), without its password hash.
  std::optional<Account> Find(const std::string& key, int64_t now);
  // Remembers that `key` was found signed in to `account` at `now`.
  void Keep(const std::string& key, Account account, int64_t now);
  // Forgets every machine kept for the account: this instance signed them out.
  void ForgetAccount(int64_t accountId);

 private:
  struct Entry {
    Account account;
    int64_t foundAt = 0;
  };
  bool Fresh(const Entry& entry, int64_t now) const { return now >= entry.foundAt && now < entry.foundAt + maxAge_; }

  const int64_t maxAge_;
  const size_t capacity_;
  std::mutex mutex_;  // guards entries_
  std::unordered_map<std::string, Entry> entries_;
};
