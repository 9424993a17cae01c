// When a reminder mail that could not be delivered is tried again, and when the service
// gives it up.
#pragma once

#include <cstdint>
#include <optional>

struct RetrySchedule {
  int64_t firstDelaySeconds = 30;  // after the first failed attempt
  int64_t maxDelaySeconds = 3600;  // the delay doubles up to this
  int maxAttempts = 30;            // about a day of retries with the defaults
};

// The time of the next attempt after `failedAttempts` failures, the last one at `now`;
// nothing once the mail has used all its attempts.
std::optional<int64_t> NextAttemptTime(const RetrySchedule& schedule, int failedAttempts, int64_t now);
