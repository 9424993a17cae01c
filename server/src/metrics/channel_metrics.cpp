#include "metrics/channel_metrics.h"

namespace {

constexpr std::array<const char*, ChannelMetrics::kResults> kResultNames{"delivered", "waited", "retried",
                                                                          "given_up", "refused"};

}  // namespace

void ChannelMetrics::Count(std::string_view kind, Result result, uint64_t count) {
  for (size_t k = 0; k < kKinds.size(); ++k) {
    if (kind == kKinds[k]) counts_[k][static_cast<size_t>(result)].fetch_add(count, std::memory_order_relaxed);
  }
}

std::string ChannelMetrics::Render() const {
  std::string out =
      "# HELP tarn_channel_deliveries_total Reminders handed to chat and webhook channels, by kind and outcome.\n"
      "# TYPE tarn_channel_deliveries_total counter\n";
  for (size_t k = 0; k < kKinds.size(); ++k) {
    for (size_t r = 0; r < kResults; ++r) {
      out += std::string("tarn_channel_deliveries_total{kind=\"") + kKinds[k] + "\",outcome=\"" + kResultNames[r] +
             "\"} " + std::to_string(counts_[k][r].load(std::memory_order_relaxed)) + "\n";
    }
  }
  if (const int64_t paused = paused_.load(std::memory_order_relaxed); paused >= 0) {
    out += "# HELP tarn_channels_paused Channels paused after their vendor refused them.\n"
           "# TYPE tarn_channels_paused gauge\n"
           "tarn_channels_paused " + std::to_string(paused) + "\n";
  }
  return out;
}
