// What the database says about the mail queue when the operator's metrics are read.
#pragma once

#include <cstdint>

struct MailQueueFacts {
  int64_t queued = 0;                  // mails waiting to be delivered
  int64_t oldestQueuedAgeSeconds = 0;  // how long the oldest of them has waited; 0 when none
};
