// The counters of channel deliveries, by channel kind and outcome, and the number of paused
// channels, in the Prometheus text format. Counting takes no lock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

class ChannelMetrics {
 public:
  enum class Result { Delivered, Waited, Retried, GivenUp, Refused };
  static constexpr std::array<const char*, 6> kKinds{"wecom", "dingtalk", "feishu", "lark", "slack", "webhook"};
  static constexpr size_t kResults = 5;

  // `count` reminders of a channel of `kind` had the result; other kinds are not counted.
  void Count(std::string_view kind, Result result, uint64_t count = 1);
  void SetPausedChannels(int64_t paused) { paused_.store(paused, std::memory_order_relaxed); }
  std::string Render() const;

 private:
  std::array<std::array<std::atomic<uint64_t>, kResults>, kKinds.size()> counts_{};
  std::atomic<int64_t> paused_{-1};  // -1 until a sender has looked
};
