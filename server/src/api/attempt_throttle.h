// Counts attempts per key (an account, a client address) in a sliding time window and
// refuses once a key has used its share. Plain logic: the caller passes the time.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

class AttemptThrottle {
 public:
  AttemptThrottle(size_t limit, int64_t windowSeconds, size_t maxKeys = 100000)
      : limit_(limit), window_(windowSeconds), maxKeys_(maxKeys) {}

  // True while `key` has made fewer than the limit of attempts in the window ending now.
  bool Allows(const std::string& key, int64_t now);
  // Counts one attempt of `key` at `now`.
  void Record(const std::string& key, int64_t now);
  // Forgets `key` (a successful sign-in clears its failures).
  void Clear(const std::string& key);

 private:
  void Prune(std::deque<int64_t>& times, int64_t now) const;
  void DropIdleKeys(int64_t now);

  const size_t limit_;
  const int64_t window_;
  const size_t maxKeys_;  // bounds memory against floods of made-up names
  std::mutex mutex_;      // guards times_
  std::unordered_map<std::string, std::deque<int64_t>> times_;
};
