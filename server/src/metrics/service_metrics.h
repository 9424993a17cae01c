// The service's counters for its operator, and their text in the Prometheus exposition
// format (version 0.0.4). Every count is an atomic in a table of fixed size: counting takes
// no lock on the request path, and no client can make the tables grow.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "metrics/channel_metrics.h"
#include "metrics/mail_queue_facts.h"

class ServiceMetrics {
 public:
  // The upper bounds of the latency buckets, in seconds (the last bucket, +Inf, is implied).
  static constexpr std::array<double, 14> kBucketBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                           0.1,    0.25,  0.5,    1,     2.5,  5,     10};

  // One answered request: `action` as the log line names it ("login", "getInfo",
  // "sendMsg"; anything else counts as "other"), `status` the reply's "status", and the
  // time from the request read to its answer.
  void CountRequest(std::string_view action, int status, double seconds);
  void CountSignInThrottled() { Add(signInsThrottled_); }
  void CountMailQueued() { Add(mailsQueued_); }
  void CountMailSent() { Add(mailsSent_); }
  void CountMailGivenUp() { Add(mailsGivenUp_); }
  ChannelMetrics& Channels() { return channels_; }

  // Every metric with its HELP and TYPE lines; the two queue gauges only when `queue` is
  // there (the database did not answer otherwise).
  std::string Render(const std::optional<MailQueueFacts>& queue) const;

 private:
  static constexpr size_t kActions = 4;   // login, getInfo, sendMsg, other
  static constexpr size_t kStatuses = 3;  // 0, 1, any other value
  static constexpr size_t kBuckets = kBucketBounds.size() + 1;

  using Counter = std::atomic<uint64_t>;
  static_assert(Counter::is_always_lock_free, "counting must take no lock on the request path");
  static void Add(Counter& counter, uint64_t amount = 1) { counter.fetch_add(amount, std::memory_order_relaxed); }

  std::array<std::array<Counter, kStatuses>, kActions> requests_{};
  // Per action: requests in each bucket (not cumulative; summed up when rendered), and the
  // sum of their durations in nanoseconds.
  std::array<std::array<Counter, kBuckets>, kActions> latencyBuckets_{};
  std::array<Counter, kActions> latencyNanoseconds_{};
  Counter signInsThrottled_{0};
  Counter mailsQueued_{0};
  Counter mailsSent_{0};
  Counter mailsGivenUp_{0};
  ChannelMetrics channels_;
};
