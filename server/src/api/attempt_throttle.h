// Counts attempts per key (an account, a client address, or both) in a sliding time window
// and refuses once a key has used its share. Plain logic: the caller passes the time.
#pragma once

#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

class AttemptThrottle {
 public:
  AttemptThrottle(size_t limit, int64_t windowSeconds, size_t maxKeys = 100000)
      : limit_(limit), window_(windowSeconds), maxKeys_(maxKeys) {}

  // Counts one attempt of `key` at `now` when the key has made fewer than the limit of
  // attempts in the window ending now; false, and nothing counted, when it has not. Check
  // and count are one step, so attempts running at the same time cannot pass the limit
  // together.
  bool TryCount(const std::string& key, int64_t now);
  // Takes back the newest attempt counted for `key` (one that turned out not to count).
  void Refund(const std::string& key);
  // Forgets `key` (a successful sign-in clears its failures).
  void Clear(const std::string& key);

 private:
  struct Entry {
    std::deque<int64_t> times;              // at most `limit_`, oldest first
    std::list<std::string>::iterator age;  // the key's place in `byAge_`
  };

  const size_t limit_;
  const int64_t window_;
  const size_t maxKeys_;  // bounds memory against floods of made-up names
  std::mutex mutex_;      // guards entries_ and byAge_
  std::unordered_map<std::string, Entry> entries_;
  // Keys by their last counted attempt, oldest first: when the table is full the oldest
  // key goes, so a flood of new keys forgets only keys that have been quiet the longest.
  std::list<std::string> byAge_;
};
