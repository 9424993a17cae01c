#include "api/attempt_throttle.h"

#include <iterator>

bool AttemptThrottle::TryCount(const std::string& key, int64_t now) {
  std::lock_guard lock(mutex_);
  auto found = entries_.find(key);
  if (found == entries_.end()) {
    if (limit_ == 0) return false;
    if (entries_.size() >= maxKeys_ && !byAge_.empty()) {
      entries_.erase(byAge_.front());
      byAge_.pop_front();
    }
    byAge_.push_back(key);
    found = entries_.emplace(key, Entry{{}, std::prev(byAge_.end())}).first;
  }
  Entry& entry = found->second;
  while (!entry.times.empty() && entry.times.front() <= now - window_) entry.times.pop_front();
  if (entry.times.size() >= limit_) return false;
  entry.times.push_back(now);
  byAge_.splice(byAge_.end(), byAge_, entry.age);
  return true;
}

void AttemptThrottle::Refund(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(key);
  if (found != entries_.end() && !found->second.times.empty()) found->second.times.pop_back();
}

void AttemptThrottle::Clear(const std::string& key) {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(key);
  if (found == entries_.end()) return;
  byAge_.erase(found->second.age);
  entries_.erase(found);
}
