#include "api/attempt_throttle.h"

#include <iterator>

void AttemptThrottle::Prune(std::deque<int64_t>& times, int64_t now) const {
  while (!times.empty() && times.front() <= now - window_) times.pop_front();
}

bool AttemptThrottle::Allows(const std::string& key, int64_t now) {
  std::lock_guard lock(mutex_);
  const auto found = times_.find(key);
  if (found == times_.end()) return true;
  Prune(found->second, now);
  return found->second.size() < limit_;
}

void AttemptThrottle::Record(const std::string& key, int64_t now) {
  std::lock_guard lock(mutex_);
  if (times_.size() >= maxKeys_ && !times_.contains(key)) DropIdleKeys(now);
  auto& times = times_[key];
  Prune(times, now);
  times.push_back(now);
  // Only the newest `limit_` attempts decide; older ones need not be kept.
  while (times.size() > limit_) times.pop_front();
}

void AttemptThrottle::Clear(const std::string& key) {
  std::lock_guard lock(mutex_);
  times_.erase(key);
}

void AttemptThrottle::DropIdleKeys(int64_t now) {
  for (auto it = times_.begin(); it != times_.end();) {
    Prune(it->second, now);
    it = it->second.empty() ? times_.erase(it) : std::next(it);
  }
  // Still full of active keys: start afresh rather than grow without bound.
  if (times_.size() >= maxKeys_) times_.clear();
}
