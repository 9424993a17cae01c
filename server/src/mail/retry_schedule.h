// When a reminder mail that could not be delivered is tried again, and when the service
// gives it up.
#pragma once

#include <cstdint>
#include <optional>

#include "config/mail_settings.h"

// The time of the next attempt after `failedAttempts` failures, the last one at `now`;
// nothing once the mail has used all its attempts.
std::optional<int64_t> NextAttemptTime(const RetrySchedule& schedule, int failedAttempts, int64_t now);
