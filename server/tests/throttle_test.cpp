// Sign-in throttling, the cached service information and the mail retry schedule: the
// rules that decide, with their clock given.
#include <gtest/gtest.h>

#include "api/attempt_throttle.h"
#include "api/service_info_cache.h"
#include "mail/retry_schedule.h"
#include "test_database.h"

// The counts live in a real database, which instances share: two throttles over one
// database stand for two instances.
TEST(AttemptThrottle, CountsUpToTheLimitUntilTheWindowPassesAcrossInstances) {
  TestFolder folder;
  Database db(TestDatabase(folder));
  AttemptThrottle throttle(db, "t", 3, 60);
  AttemptThrottle elsewhere(db, "t", 3, 60);
  AttemptThrottle other(db, "u", 3, 60);
  for (int64_t t : {100, 110}) EXPECT_TRUE(throttle.TryCount("a", t));
  EXPECT_TRUE(elsewhere.TryCount("a", 120));
  EXPECT_FALSE(throttle.TryCount("a", 121)) << "the other instance's attempt counted";
  EXPECT_TRUE(throttle.TryCount("b", 121)) << "keys are counted apart";
  EXPECT_TRUE(other.TryCount("a", 121)) << "and so are throttles";
  EXPECT_FALSE(elsewhere.TryCount("a", 159));
  EXPECT_TRUE(throttle.TryCount("a", 160)) << "the attempt at 100 has left the window";
  EXPECT_FALSE(throttle.TryCount("a", 161));
  elsewhere.Refund("a");
  EXPECT_TRUE(throttle.TryCount("a", 161)) << "a refunded attempt gives its place back";
  elsewhere.Clear("a");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(throttle.TryCount("a", 162)) << "cleared";
  EXPECT_EQ(2, AttemptThrottle::ForgetQuiet(db, 162)) << "b and u's a are quiet since 121";
  EXPECT_FALSE(throttle.TryCount("a", 163)) << "a key with recent attempts is kept";
}

TEST(ServiceInfoCache, ReadsTheDatabaseAgainOnlyWhenItsCopyIsOld) {
  TestFolder folder;
  Database db(TestDatabase(folder));
  AccountStore accounts(db);
  ServiceInfoCache cache(accounts, 5);
  accounts.PostNotice("第一条通知内容", 90);
  EXPECT_EQ("第一条通知内容", cache.Get(100)->notice->text);
  accounts.PostNotice("第二条通知内容", 101);
  accounts.SetLatestVersion("2.0");
  EXPECT_EQ("第一条通知内容", cache.Get(104)->notice->text) << "kept for 5 s";
  EXPECT_EQ("", cache.Get(104)->latestVersion);
  EXPECT_EQ("第二条通知内容", cache.Get(105)->notice->text);
  EXPECT_EQ("2.0", cache.Get(105)->latestVersion);
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
