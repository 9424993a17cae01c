#include "metrics/service_metrics.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr const char* kActionNames[] = {"login", "getInfo", "sendMsg", "other"};
constexpr const char* kStatusNames[] = {"0", "1", "other"};
constexpr const char* kBucketLabels[] = {"0.0005", "0.001", "0.0025", "0.005", "0.01", "0.025", "0.05",
                                         "0.1",    "0.25",  "0.5",    "1",     "2.5",  "5",     "10", "+Inf"};

// The action's row; the last one, "other", for any name but the program's three requests.
size_t ActionIndex(std::string_view action) {
  constexpr size_t kOther = std::size(kActionNames) - 1;
  for (size_t i = 0; i < kOther; ++i) {
    if (action == kActionNames[i]) return i;
  }
  return kOther;
}

class Exposition {
 public:
  Exposition& Family(const char* name, const char* type, const char* help) {
    text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    return *this;
  }
  Exposition& Sample(const std::string& nameAndLabels, uint64_t value) {
    text_ += nameAndLabels + " " + std::to_string(value) + "\n";
    return *this;
  }
  Exposition& Sample(const std::string& nameAndLabels, double value) {
    char number[32];
    std::snprintf(number, sizeof number, "%.9g", value);
    text_ += nameAndLabels + " " + number + "\n";
    return *this;
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

void ServiceMetrics::CountRequest(std::string_view action, int status, double seconds) {
  const size_t a = ActionIndex(action);
  const size_t s = status == 0 || status == 1 ? static_cast<size_t>(status) : kStatuses - 1;
  Add(requests_[a][s]);
  const auto bound = std::lower_bound(kBucketBounds.begin(), kBucketBounds.end(), seconds);
  Add(latencyBuckets_[a][static_cast<size_t>(bound - kBucketBounds.begin())]);
  Add(latencyNanoseconds_[a], static_cast<uint64_t>(std::max(0.0, seconds) * 1e9));
}

std::string ServiceMetrics::Render(const std::optional<MailQueueFacts>& queue) const {
  const auto load = [](const Counter& counter) { return counter.load(std::memory_order_relaxed); };
  Exposition out;
  out.Family("tarn_requests_total", "counter", "Requests answered, by action and the reply's status.");
  for (size_t a = 0; a < kActions; ++a) {
    for (size_t s = 0; s < kStatuses; ++s) {
      const uint64_t count = load(requests_[a][s]);
      // A status other than 0 and 1 is never answered today: shown only once it has been.
      if (s == kStatuses - 1 && count == 0) continue;
      out.Sample(std::string("tarn_requests_total{action=\"") + kActionNames[a] + "\",status=\"" + kStatusNames[s] +
                     "\"}",
                 count);
    }
  }
  out.Family("tarn_request_duration_seconds", "histogram",
             "Time from a request read to its answer written out, by action.");
  for (size_t a = 0; a < kActions; ++a) {
    const std::string action = std::string("action=\"") + kActionNames[a] + "\"";
    uint64_t cumulative = 0;
    for (size_t b = 0; b < kBuckets; ++b) {
      cumulative += load(latencyBuckets_[a][b]);
      out.Sample("tarn_request_duration_seconds_bucket{" + action + ",le=\"" + kBucketLabels[b] + "\"}", cumulative);
    }
    out.Sample("tarn_request_duration_seconds_sum{" + action + "}",
               static_cast<double>(load(latencyNanoseconds_[a])) / 1e9);
    out.Sample("tarn_request_duration_seconds_count{" + action + "}", cumulative);
  }
  out.Family("tarn_sign_ins_throttled_total", "counter", "Sign-ins refused by the attempt limits.")
      .Sample("tarn_sign_ins_throttled_total", load(signInsThrottled_));
  out.Family("tarn_mails_queued_total", "counter", "Reminder mails accepted into the queue by this instance.")
      .Sample("tarn_mails_queued_total", load(mailsQueued_));
  out.Family("tarn_mails_sent_total", "counter", "Reminder mails the mail server accepted from this instance.")
      .Sample("tarn_mails_sent_total", load(mailsSent_));
  out.Family("tarn_mails_given_up_total", "counter", "Reminder mails this instance gave up after its last attempt.")
      .Sample("tarn_mails_given_up_total", load(mailsGivenUp_));
  if (queue) {
    out.Family("tarn_mail_queue_length", "gauge", "Reminder mails waiting in the database to be delivered.")
        .Sample("tarn_mail_queue_length", static_cast<uint64_t>(std::max<int64_t>(0, queue->queued)));
    out.Family("tarn_mail_queue_oldest_age_seconds", "gauge",
               "How long the oldest waiting reminder mail has waited; 0 when none waits.")
        .Sample("tarn_mail_queue_oldest_age_seconds",
                static_cast<uint64_t>(std::max<int64_t>(0, queue->oldestQueuedAgeSeconds)));
  }
  return out.Take() + channels_.Render();
}
