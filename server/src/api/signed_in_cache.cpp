#include "api/signed_in_cache.h"

#include <utility>

std::optional<Account> SignedInCache::Find(const std::string& key, int64_t now) {
  if (maxAge_ <= 0) return std::nullopt;
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(key);
  if (found == entries_.end() || !Fresh(found->second, now)) return std::nullopt;
  return found->second.account;
}

void SignedInCache::ForgetAccount(int64_t accountId) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [&](const auto& entry) { return entry.second.account.id == accountId; });
}

void SignedInCache::Keep(const std::string& key, Account account, int64_t now) {
  if (maxAge_ <= 0 || capacity_ == 0) return;
  account.passwordHash.clear();  // not needed here, and not kept in memory longer than a request
  std::lock_guard lock(mutex_);
  if (entries_.size() >= capacity_ && !entries_.contains(key)) {
    // Full: the stale ones go first, and when all are fresh, all go (each is only a
    // database lookup saved), so a full cache costs one sweep per `capacity_` inserts.
    std::erase_if(entries_, [&](const auto& entry) { return !Fresh(entry.second, now); });
    if (entries_.size() >= capacity_) entries_.clear();
  }
  entries_.insert_or_assign(key, Entry{std::move(account), now});
}
