// Sign-in throttling, the cached service information, the machines remembered as signed
// in and the mail retry schedule: the rules that decide, with their clock given.
#include <gtest/gtest.h>

#include "api/account_api.h"
#include "api/attempt_throttle.h"
#include "api/service_info_cache.h"
#include "api/signed_in_cache.h"
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

// One statement answers for the account and the machine together, for any address.
TEST(AccountStore, LooksUpAnAccountAndItsMachineTogether) {
  TestFolder folder;
  Database db(TestDatabase(folder));
  AccountStore accounts(db);
  ASSERT_TRUE(accounts.Add("me@x.cn", "hash-me", 0, 1000));
  ASSERT_TRUE(accounts.Add("you@x.cn", "hash-you", 0, 1000));
  ASSERT_TRUE(accounts.RecordMachine(accounts.Find("me@x.cn")->id, "hash-me", "PC", 100, 0));
  ASSERT_TRUE(accounts.RecordMachine(accounts.Find("you@x.cn")->id, "hash-you", "LAPTOP", 200, 0));
  const struct {
    const char* email;
    const char* machine;
    const char* found;  // the account's address, or nullptr for none
    std::optional<int64_t> lastSeen;
  } cases[] = {
      {"me@x.cn", "PC", "me@x.cn", 100},
      {"ME@X.cn", "PC", "me@x.cn", 100},
      {"me@x.cn", "pc", "me@x.cn", std::nullopt},
      {"me@x.cn", "LAPTOP", "me@x.cn", std::nullopt},
      {"you@x.cn", "LAPTOP", "you@x.cn", 200},
      {"who@x.cn", "PC", nullptr, std::nullopt},
      {"", "PC", nullptr, std::nullopt},
      {"me@x.cn%", "PC", nullptr, std::nullopt},
  };
  for (const auto& c : cases) {
    const MachineRecord record = accounts.LookUpMachine(c.email, c.machine);
    EXPECT_EQ(c.found != nullptr, record.account.has_value()) << c.email << " " << c.machine;
    if (c.found && record.account) {
      EXPECT_EQ(c.found, record.account->email) << c.email;
      EXPECT_EQ(accounts.Find(c.found)->passwordHash, record.account->passwordHash) << c.email;
    }
    EXPECT_EQ(c.lastSeen, record.lastSeen) << c.email << " " << c.machine;
  }
}

TEST(SignedInCache, RemembersForItsAgeWithinItsCapacity) {
  const Account account{7, "me@x.cn", "hash", true, 0, 1000};
  SignedInCache cache(2, 3);
  cache.Keep("a", account, 100);
  const struct {
    const char* key;
    int64_t now;
    bool found;
  } cases[] = {{"a", 100, true}, {"a", 101, true}, {"a", 102, false}, {"a", 99, false}, {"b", 100, false}};
  for (const auto& c : cases) EXPECT_EQ(c.found, cache.Find(c.key, c.now).has_value()) << c.key << " " << c.now;
  EXPECT_EQ("", cache.Find("a", 100)->passwordHash) << "no hash kept in memory";
  EXPECT_EQ(1000, cache.Find("a", 100)->serviceEnd);

  cache.Keep("b", account, 101);
  cache.Keep("c", account, 102);
  cache.Keep("d", account, 102);
  EXPECT_FALSE(cache.Find("a", 102)) << "full: the stale one made room";
  for (const char* key : {"b", "c", "d"}) EXPECT_TRUE(cache.Find(key, 102)) << key;
  cache.Keep("e", account, 102);
  for (const char* key : {"b", "c", "d"}) EXPECT_FALSE(cache.Find(key, 102)) << "all fresh: all made room";
  EXPECT_TRUE(cache.Find("e", 102));
  cache.Keep("e", account, 103);
  EXPECT_TRUE(cache.Find("e", 104)) << "kept again: the newer finding counts";
  cache.Keep("other", Account{8, "you@x.cn", "hash", true, 0, 1000}, 104);
  cache.ForgetAccount(7);
  EXPECT_FALSE(cache.Find("e", 104)) << "signed out here: forgotten at once";
  EXPECT_TRUE(cache.Find("other", 104)) << "another account's machine stays";

  SignedInCache off(0);
  off.Keep("a", account, 100);
  EXPECT_FALSE(off.Find("a", 100)) << "age 0 keeps nothing";
}

// A sign-out by the operator reaches service information within the cache's age, and
// reminders at once; a new sign-in is seen at once.
TEST(SignedInCache, SignOutReachesServiceInformationWithinItsAge) {
  TestFolder folder;
  Database db(TestDatabase(folder));
  AccountStore accounts(db);
  MailStore mails(db);
  ServiceConfig config;
  config.signedInCacheSeconds = 2;
  config.infoCacheSeconds = 0;
  int64_t now = 1000;
  AccountApi api(db, accounts, mails, config, [&] { return now; }, {});
  ASSERT_TRUE(accounts.Add("me@x.cn", "hash", 0, 100000));
  const auto signIn = [&](const char* machine) {
    ASSERT_TRUE(accounts.RecordMachine(accounts.Find("me@x.cn")->id, accounts.Find("me@x.cn")->passwordHash,
                                       machine, now, 0));
  };
  const auto info = [&](const char* machine) {
    return api.GetInfo(std::string("username=me@x.cn&id=") + machine + "&softtype=2&ver=1.1.0.2").status;
  };
  const auto remind = [&](const char* machine) {
    return api.SendMsg(std::string("username=me@x.cn&id=") + machine + "&softtype=2&ver=1.1.0.2&tpl=1&code=404&url=a.cn")
        .status;
  };
  EXPECT_EQ(0, info("PC"));
  signIn("PC");
  EXPECT_EQ(1, info("PC")) << "not answered from an earlier \"not signed in\"";
  ASSERT_EQ(1, *accounts.SetPassword("me@x.cn", "new-hash"));
  EXPECT_EQ(1, info("PC")) << "remembered";
  EXPECT_EQ(0, remind("PC")) << "reminders ask the database";
  now += 1;
  EXPECT_EQ(1, info("PC"));
  now += 1;
  EXPECT_EQ(0, info("PC")) << "the cache's age has passed";

  signIn("PC");
  ASSERT_TRUE(accounts.SetServiceEnd("me@x.cn", now + 1));
  EXPECT_EQ(1, info("PC"));
  now += 1;
  EXPECT_EQ(0, info("PC")) << "a remembered account is still checked against its end";
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
