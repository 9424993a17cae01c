// Counts sign-in attempts per key (an account, a client address, or both) in a sliding
// time window and refuses once a key has used its share. The counts live in the service's
// database, so every instance of the service counts against the same limits.
#pragma once

#include <cstdint>
#include <string>

#include "store/attempt_store.h"

class AttemptThrottle {
 public:
  // `name` keeps this throttle's keys apart from those of the others in the same table.
  AttemptThrottle(Database& db, std::string name, size_t limit, int64_t windowSeconds)
      : store_(db), name_(std::move(name)), limit_(limit), window_(windowSeconds) {}

  // Counts one attempt of `key` at `now` when the key has made fewer than the limit of
  // attempts in the window ending now; false, and nothing counted, when it has not. Check
  // and count are one step, so attempts running at the same time, on any instance, cannot
  // pass the limit together.
  bool TryCount(const std::string& key, int64_t now);
  // Takes back the newest attempt counted for `key` (one that turned out not to count).
  void Refund(const std::string& key);
  // Forgets `key` (a successful sign-in clears its failures).
  void Clear(const std::string& key);

  // Deletes the counts of every key, of any throttle, with no attempt since `before`; how
  // many. Keeps the table as small as the recent attempts.
  static int ForgetQuiet(Database& db, int64_t before);

 private:
  std::string StoredKey(const std::string& key) const { return name_ + '\n' + key; }

  AttemptStore store_;
  const std::string name_;
  const size_t limit_;
  const int64_t window_;
};
