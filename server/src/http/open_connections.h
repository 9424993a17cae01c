// The connections open right now, so that a stop can reach each of them. Thread-safe: the
// set is guarded by one lock.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

template <typename Connection>
class OpenConnections {
 public:
  void Add(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex_);
    open_.emplace(connection.get(), connection);
  }
  // Called by a connection's destructor.
  void Remove(const Connection* connection) {
    std::lock_guard lock(mutex_);
    open_.erase(connection);
  }
  // Those still alive for which `select(const Connection&)` holds. Taken out of the lock
  // before they are handed back, since a connection's last owner going removes it.
  template <typename Select>
  std::vector<std::shared_ptr<Connection>> Those(Select select) {
    std::vector<std::shared_ptr<Connection>> chosen;
    std::lock_guard lock(mutex_);
    for (const auto& [key, weak] : open_) {
      if (!select(*key)) continue;
      if (auto connection = weak.lock()) chosen.push_back(std::move(connection));
    }
    return chosen;
  }

 private:
  std::mutex mutex_;  // guards open_
  std::unordered_map<const Connection*, std::weak_ptr<Connection>> open_;
};
