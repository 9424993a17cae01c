#include "http/connection_limiter.h"

#include <utility>

ConnectionLimiter::Slot::~Slot() {
  if (owner_) owner_->Release(address_);
}

ConnectionLimiter::Slot::Slot(Slot&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), address_(std::move(other.address_)) {}

ConnectionLimiter::Slot& ConnectionLimiter::Slot::operator=(Slot&& other) noexcept {
  if (this != &other) {
    if (owner_) owner_->Release(address_);
    owner_ = std::exchange(other.owner_, nullptr);
    address_ = std::move(other.address_);
  }
  return *this;
}

ConnectionLimiter::Slot ConnectionLimiter::Admit(const std::string& address, bool uncapped) {
  std::lock_guard lock(mutex_);
  if (open_ >= total_) return {};
  if (!uncapped) {
    size_t& count = byAddress_[address];
    if (count >= perAddress_) return {};
    ++count;
  }
  ++open_;
  return Slot(this, uncapped ? std::string() : address);
}

void ConnectionLimiter::Release(const std::string& address) {
  {
    std::lock_guard lock(mutex_);
    --open_;
    if (!address.empty()) {
      const auto found = byAddress_.find(address);
      if (found != byAddress_.end() && --found->second == 0) byAddress_.erase(found);
    }
  }
  closed_.notify_all();
}

size_t ConnectionLimiter::Open() const {
  std::lock_guard lock(mutex_);
  return open_;
}

bool ConnectionLimiter::WaitUntilNoneOpen(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return closed_.wait_until(lock, deadline, [this] { return open_ == 0; });
}
