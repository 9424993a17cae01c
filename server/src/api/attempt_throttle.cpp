#include "api/attempt_throttle.h"

// A key's stored times are those of its attempts in the window, oldest first: at most
// `limit` of them.

bool AttemptThrottle::TryCount(const std::string& key, int64_t now) {
  if (limit_ == 0) return false;
  return store_.ChangeTimes(StoredKey(key), now, [&](std::vector<int64_t>& times) {
    std::erase_if(times, [&](int64_t time) { return time <= now - window_; });
    if (times.size() >= limit_) return false;
    times.push_back(now);
    return true;
  });
}

void AttemptThrottle::Refund(const std::string& key) {
  store_.ChangeTimes(StoredKey(key), std::nullopt, [](std::vector<int64_t>& times) {
    if (times.empty()) return false;
    times.pop_back();
    return true;
  });
}

void AttemptThrottle::Clear(const std::string& key) { store_.Delete(StoredKey(key)); }

int AttemptThrottle::ForgetQuiet(Database& db, int64_t before) { return AttemptStore(db).ForgetQuiet(before); }
