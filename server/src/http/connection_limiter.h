// Counts the open connections, in all and per client address, and turns away a connection
// over either cap. A connection that was admitted holds a Slot; its end frees the slot.
// Thread-safe: every count is guarded by one lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

class ConnectionLimiter {
 public:
  class Slot {
   public:
    Slot() = default;
    Slot(ConnectionLimiter* owner, std::string address) : owner_(owner), address_(std::move(address)) {}
    ~Slot();
    Slot(Slot&& other) noexcept;
    Slot& operator=(Slot&& other) noexcept;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    explicit operator bool() const { return owner_ != nullptr; }

   private:
    ConnectionLimiter* owner_ = nullptr;
    std::string address_;  // empty for an address without its own cap
  };

  ConnectionLimiter(size_t total, size_t perAddress) : total_(total), perAddress_(perAddress) {}

  // A slot for a connection from `address`, or an empty one when a cap is reached.
  // `uncapped` addresses (trusted proxies, which carry many clients) count only in the total.
  Slot Admit(const std::string& address, bool uncapped);

  size_t Open() const;
  // Waits until no connection is open or `deadline` has come; true when none is open.
  bool WaitUntilNoneOpen(std::chrono::steady_clock::time_point deadline);

 private:
  void Release(const std::string& address);

  const size_t total_;
  const size_t perAddress_;
  mutable std::mutex mutex_;  // guards open_ and byAddress_
  std::condition_variable closed_;
  size_t open_ = 0;
  std::unordered_map<std::string, size_t> byAddress_;  // only addresses with connections open
};
