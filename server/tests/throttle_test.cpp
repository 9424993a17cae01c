// Sign-in throttling and the mail retry schedule: the rules that decide, with their clock
// given.
#include <gtest/gtest.h>

#include "api/attempt_throttle.h"
#include "mail/retry_schedule.h"

TEST(AttemptThrottle, RefusesBeyondTheLimitUntilTheWindowPasses) {
  AttemptThrottle throttle(3, 60);
  for (int64_t t : {100, 110, 120}) {
    EXPECT_TRUE(throttle.Allows("a", t));
    throttle.Record("a", t);
  }
  EXPECT_FALSE(throttle.Allows("a", 121));
  EXPECT_TRUE(throttle.Allows("b", 121)) << "keys are counted apart";
  EXPECT_FALSE(throttle.Allows("a", 159));
  EXPECT_TRUE(throttle.Allows("a", 160)) << "the attempt at 100 has left the window";
  throttle.Record("a", 160);
  EXPECT_FALSE(throttle.Allows("a", 161));
  throttle.Clear("a");
  EXPECT_TRUE(throttle.Allows("a", 161));
}

TEST(AttemptThrottle, StaysBoundedUnderManyKeys) {
  AttemptThrottle throttle(1, 60, 100);
  for (int i = 0; i < 1000; ++i) throttle.Record(std::to_string(i), 1000);
  // Old keys may be forgotten under pressure, but a fresh flood never blocks a new key.
  EXPECT_TRUE(throttle.Allows("new", 1000));
  throttle.Record("new", 1000);
  EXPECT_FALSE(throttle.Allows("new", 1001));
}

TEST(RetrySchedule, DoublesUpToTheCapAndGivesUp) {
  const RetrySchedule schedule{30, 3600, 10};
  const struct {
    int failed;
    std::optional<int64_t> delay;
  } cases[] = {{1, 30}, {2, 60}, {3, 120}, {7, 1920}, {8, 3600}, {9, 3600}, {10, std::nullopt}};
  for (const auto& c : cases) {
    const auto next = NextAttemptTime(schedule, c.failed, 5000);
    EXPECT_EQ(c.delay, next ? std::optional<int64_t>(*next - 5000) : std::nullopt) << c.failed;
  }
}
