// Sign-in throttling and the mail retry schedule: the rules that
// decide, with their clock given.
#include <gtest/gtest.h>

#include "api/attempt_throttle.h"
#include "mail/retry_schedule.h"

TEST(AttemptThrottle, CountsUpToTheLimitUntilTheWindowPasses) {
  AttemptThrottle throttle(3, 60);
  for (int64_t t : {100, 110, 120}) EXPECT_TRUE(throttle.TryCount("a", t));
  EXPECT_FALSE(throttle.TryCount("a", 121));
  EXPECT_TRUE(throttle.TryCount("b", 121)) << "keys are counted apart";
  EXPECT_FALSE(throttle.TryCount("a", 159));
  EXPECT_TRUE(throttle.TryCount("a", 160)) << "the attempt at 100 has left the window";
  EXPECT_FALSE(throttle.TryCount("a", 161));
  throttle.Refund("a");
  EXPECT_TRUE(throttle.TryCount("a", 161)) << "a refunded attempt gives its place back";
  throttle.Clear("a");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(throttle.TryCount("a", 162)) << "cleared";
}

TEST(AttemptThrottle, ForgetsOnlyTheOldestKeysWhenFull) {
  AttemptThrottle throttle(1, 3600, 3);
  for (int t = 1; const char* key : {"old", "mid", "new"}) EXPECT_TRUE(throttle.TryCount(key, t++)) << key;
  EXPECT_TRUE(throttle.TryCount("flood", 4)) << "a full table takes a new key";
  EXPECT_TRUE(throttle.TryCount("old", 5)) << "by forgetting the oldest";
  for (const char* key : {"new", "flood", "old"}) EXPECT_FALSE(throttle.TryCount(key, 6)) << key << " kept its count";
  for (int i = 0; i < 1000; ++i) throttle.TryCount("made-up" + std::to_string(i), 7);
  EXPECT_TRUE(throttle.TryCount("fresh", 8)) << "a flood never blocks a new key";
  EXPECT_FALSE(throttle.TryCount("fresh", 9));
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
