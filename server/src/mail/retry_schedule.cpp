#include "mail/retry_schedule.h"

#include <algorithm>

std::optional<int64_t> NextAttemptTime(const RetrySchedule& schedule, int failedAttempts, int64_t now) {
  if (failedAttempts >= schedule.maxAttempts) return std::nullopt;
  int64_t delay = schedule.firstDelaySeconds;
  for (int i = 1; i < failedAttempts && delay < schedule.maxDelaySeconds; ++i) delay *= 2;
  return now + std::min(delay, schedule.maxDelaySeconds);
}
