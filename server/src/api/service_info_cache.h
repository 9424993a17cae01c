// The newest notice and the latest program version, read from the database at most once
// every few seconds: every program asks for them all day long, and they rarely change.
// Each instance of the service keeps its own copy, so a change reaches every program
// within that time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "store/account_store.h"

class ServiceInfoCache {
 public:
  struct Info {
    std::optional<Notice> notice;
    std::string latestVersion;
  };

  // `maxAgeSeconds` 0 reads the database for every request.
  ServiceInfoCache(AccountStore& accounts, int64_t maxAgeSeconds) : accounts_(accounts), maxAge_(maxAgeSeconds) {}

  // The information as of at most the cache's age before `now` (Unix seconds).
  std::shared_ptr<const Info> Get(int64_t now);

 private:
  AccountStore& accounts_;
  const int64_t maxAge_;
  std::mutex mutex_;  // guards info_, readAt_ and reading_; never held while the database is read
  std::shared_ptr<const Info> info_;
  int64_t readAt_ = 0;
  bool reading_ = false;  // a request is reading a newer copy
};
