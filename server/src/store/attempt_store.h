// The sign-in attempts the throttles count, in the service's database so that every
// instance of the service counts against the same limits: one row per key with the times of
// its recent attempts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

class AttemptStore {
 public:
  explicit AttemptStore(Database& db) : db_(db) {}

  // Reads the attempt times of `key`, oldest first, lets `change` edit them, and writes
  // them back when it returns true; what `change` returned. All of it is one transaction
  // that holds the key's row, so instances take turns on a key. With `now` the row is made
  // when the key has none, and a write records `now` as the key's latest attempt; without
  // it a key with no row reads as no times.
  bool ChangeTimes(const std::string& key, std::optional<int64_t> now,
                   const std::function<bool(std::vector<int64_t>& times)>& change);
  // Forgets `key`.
  void Delete(const std::string& key);
  // Deletes every key with no attempt since `before`; how many.
  int ForgetQuiet(int64_t before);

 private:
  Database& db_;
};
