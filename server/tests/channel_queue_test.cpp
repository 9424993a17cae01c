// Channel deliveries in a real database of either engine: which channels a reminder
// reaches, the hour's limit, each attempt written before its exchange, "too many requests"
// and outages sent again later once, a refusal that pauses the channel and mails the owner
// once, and a burst merged into summaries within the vendor's rate. The vendor is a
// function here; real receivers over HTTP are the service tests' part.
#include <gtest/gtest.h>

#include <set>

#include "channels/channel_sender.h"
#include "store/account_store.h"
#include "store/channel_store.h"
#include "store/database.h"
#include "store/mail_store.h"
#include "test_database.h"

namespace {

const VendorReply kOk{200, -1, R"({"errcode":0,"errmsg":"ok"})", "", ""};
const VendorReply kTooFast{200, -1, R"({"errcode":130101,"errmsg":"send too fast"})", "", ""};
const VendorReply kBadSign{200, -1, R"({"errcode":310000,"errmsg":"sign not match"})", "", ""};
const VendorReply kDown{0, -1, "", "Couldn't connect to server", ""};

class ChannelQueue : public ::testing::Test {
 protected:
  ChannelQueue() {
    accounts_.Add("owner@x.cn", "hash", 0, 4000000000);
    account_ = accounts_.Find("owner@x.cn")->id;
  }

  // A sender whose vendor answers `answer(request)`, recording every request it sends; its
  // clock runs `skew` seconds off the test's.
  std::unique_ptr<ChannelSender> Sender(std::function<VendorReply(const OutgoingRequest&)> answer,
                                        int64_t skew = 0) {
    ChannelSenderOptions options{RetrySchedule{30, 3600, 3}, 120, 86400,
                                 VendorEndpoints{"http://w", "http://d", "http://f", "http://l", "http://s"},
                                 "monitor@service.test", {}};
    return std::make_unique<ChannelSender>(
        store_, options,
        [this, answer](const OutgoingRequest& request) {
          sent_.push_back({now_, request});
          return answer(request);
        },
        [this, skew] { return (now_ + skew) * 1000; });
  }
  // Lets `seconds` pass: on the senders' clocks, and for the claims, which the database's
  // clock measures.
  void Elapse(int64_t seconds) {
    static constexpr Query kShiftClaims{"UPDATE channels SET lease_until = lease_until - $1 WHERE lease_until > 0"};
    now_ += seconds;
    db_.WithConnection([&](SqlConnection& sql) { sql(kShiftClaims, seconds); });
  }
  bool Remind(int tpl, const std::string& site, int limit = 30) {
    return store_.AcceptReminder(account_, "owner@x.cn", "mail", ReminderEvent{tpl, tpl == 1 ? 503 : 200, site, now_},
                                 now_, limit).has_value();
  }
  size_t SentContaining(const std::string& part) {
    size_t count = 0;
    for (const auto& [time, request] : sent_) count += request.body.find(part) != std::string::npos;
    return count;
  }

  int64_t now_ = 1700000000;
  TestFolder folder_;
  Database db_{TestDatabase(folder_)};
  AccountStore accounts_{db_};
  MailStore mails_{db_};
  ChannelStore store_{db_};
  int64_t account_ = 0;
  std::vector<std::pair<int64_t, OutgoingRequest>> sent_;
};

}  // namespace

TEST_F(ChannelQueue, AReminderReachesTheChannelsThatWantItAndMailUnlessTurnedOff) {
  const int64_t both = store_.Add(account_, "wecom", "k1", "", kEventFailing | kEventBackUp, now_);
  const int64_t upOnly = store_.Add(account_, "dingtalk", "t1", "s", kEventBackUp, now_);
  const int64_t disabled = store_.Add(account_, "slack", "T/B/x", "", kEventFailing | kEventBackUp, now_);
  store_.SetEnabled(account_, disabled, false);
  struct Row {
    const char* what;
    std::optional<std::pair<bool, int>> mail;  // the mail row: enabled, events; none at first
    int tpl;
    bool mailQueued;
    std::set<int64_t> channels;
  };
  const Row rows[] = {
      {"an account as before: mail on", std::nullopt, 1, true, {both}},
      {"back up reaches the up-only channel", std::nullopt, 2, true, {both, upOnly}},
      {"mail off", std::pair{false, kEventFailing | kEventBackUp}, 1, false, {both}},
      {"mail for failing only", std::pair{true, kEventFailing}, 2, false, {both, upOnly}},
      {"mail back on", std::pair{true, kEventFailing | kEventBackUp}, 2, true, {both, upOnly}},
  };
  for (const Row& row : rows) {
    if (row.mail) store_.SetMail(account_, row.mail->first, row.mail->second, now_);
    const size_t mailsBefore = mails_.List("", 1000).size();
    const auto accepted = store_.AcceptReminder(account_, "owner@x.cn", "m", ReminderEvent{row.tpl, 500, "a.cn", now_},
                                                now_, 30);
    ASSERT_TRUE(accepted) << row.what;
    EXPECT_EQ(row.mailQueued, accepted->mailQueued) << row.what;
    EXPECT_EQ(row.mailQueued ? 1u : 0u, mails_.List("", 1000).size() - mailsBefore) << row.what;
    std::set<int64_t> reached;
    for (const Delivery& d : store_.Deliveries(account_, static_cast<int>(row.channels.size()))) {
      reached.insert(d.channelId);
    }
    EXPECT_EQ(row.channels, reached) << row.what;
    ++now_;
  }
}

TEST_F(ChannelQueue, CountsTheHoursRemindersAndHowLongASiteWasDown) {
  store_.Add(account_, "wecom", "k1", "", kEventFailing | kEventBackUp, now_);
  store_.SetMail(account_, false, kEventFailing | kEventBackUp, now_);
  EXPECT_TRUE(Remind(1, "a.cn", 2));
  now_ += 330;
  EXPECT_TRUE(Remind(2, "a.cn", 2));
  EXPECT_FALSE(Remind(1, "b.cn", 2)) << "mail off: the reminders themselves are counted";
  EXPECT_EQ(2u, store_.Deliveries(account_, 10).size()) << "a refused reminder leaves nothing behind";
  const auto deliveries = store_.Deliveries(account_, 10);
  EXPECT_EQ(330, deliveries[0].downSeconds);
  EXPECT_EQ(-1, deliveries[1].downSeconds);
  now_ += 3600;
  EXPECT_TRUE(Remind(1, "b.cn", 2)) << "the first reminders have left the hour";
}

TEST_F(ChannelQueue, TooManyRequestsAndOutagesAreSentLaterOnceAndEachAttemptIsWrittenFirst) {
  struct Row {
    const char* what;
    VendorReply first;
    int64_t retryAfter;  // when the second try may go
    int attemptsAfterFirst;
  };
  const Row rows[] = {
      {"DingTalk's send too fast", kTooFast, 60, 0},
      {"an outage", kDown, 30, 1},
  };
  for (const Row& row : rows) {
    const int64_t channel = store_.Add(account_, "dingtalk", "tok", "", kEventFailing | kEventBackUp, now_);
    ASSERT_TRUE(Remind(1, row.what));
    std::vector<Delivery> duringExchange;
    bool failing = true;
    auto sender = Sender([&](const OutgoingRequest&) {
      if (duringExchange.empty()) duringExchange = store_.Deliveries(account_, 1);
      return failing ? row.first : kOk;
    });
    EXPECT_EQ(0, sender->DeliverDue()) << row.what;
    ASSERT_EQ(1u, duringExchange.size());
    EXPECT_EQ(1, duringExchange[0].attempts) << row.what << ": written before the exchange";
    EXPECT_GT(duringExchange[0].nextAttempt, now_) << row.what;
    EXPECT_EQ(row.attemptsAfterFirst, store_.Deliveries(account_, 1)[0].attempts) << row.what;
    EXPECT_EQ(now_ + row.retryAfter, store_.NextDue(now_)) << row.what << ": the sender sleeps until then";

    failing = false;
    now_ += row.retryAfter - 1;
    EXPECT_EQ(0, sender->DeliverDue()) << row.what << ": not before its time";
    now_ += 1;
    EXPECT_EQ(1, sender->DeliverDue()) << row.what;
    now_ += 7200;
    EXPECT_EQ(0, sender->DeliverDue()) << row.what << ": never again";
    EXPECT_EQ(2u, SentContaining(row.what)) << row.what;
    store_.Remove(account_, channel);
    now_ += 100;
  }
}

// Two senders on one database stand for two instances. While the first one's exchange runs,
// the second, whose clock may be far off, tries the channel: it may take the channel over
// only once the claim has ended by the database's clock, and then the first one's "sent"
// comes too late and is not written.
TEST_F(ChannelQueue, ClaimsEndByTheDatabasesClockAndOnlyTheirHolderRecordsTheVendorsAnswer) {
  store_.SetMail(account_, false, kEventFailing | kEventBackUp, now_);
  struct Row {
    const char* what;
    int64_t skew;     // the second instance's clock against the first's
    int64_t elapse;   // how long the first one's exchange takes; its claim lasts 120 s
    bool takenOver;
  };
  // The attempt under way put the next off by 30 s, by the first one's clock: a clock ten
  // minutes behind sees the reminder due again only after 630 s.
  const Row rows[] = {
      {"a clock a day ahead, within the claim", 86400, 60, false},
      {"the same clock, once the claim has ended", 0, 121, true},
      {"a clock ten minutes behind, once the claim has ended", -600, 650, true},
  };
  for (const Row& row : rows) {
    const int64_t channel = store_.Add(account_, "dingtalk", "tok", "", kEventFailing | kEventBackUp, now_);
    ASSERT_TRUE(Remind(1, row.what));
    now_ += 3600;  // due by either clock
    auto second = Sender([](const OutgoingRequest&) { return kTooFast; }, row.skew);
    auto first = Sender([&](const OutgoingRequest&) {
      if (sent_.size() == 1) {
        Elapse(row.elapse);
        second->DeliverDue();
      }
      return kOk;
    });
    sent_.clear();
    EXPECT_EQ(1, first->DeliverDue()) << row.what << ": the vendor took it";
    EXPECT_EQ(row.takenOver ? 2u : 1u, SentContaining(row.what)) << row.what;
    EXPECT_EQ(row.takenOver ? "queued" : "sent", store_.Deliveries(account_, 1)[0].state)
        << row.what << ": the first one's record is written only while it holds the claim";
    store_.Remove(account_, channel);
  }
}

// The vendor took the reminder, but the database refuses its "sent" for a while, as a full
// disk would: the channel stays claimed, so no other instance sends the reminder again, until
// the record is written.
TEST_F(ChannelQueue, AChannelStaysClaimedUntilWhatItsVendorTookIsRecorded) {
  store_.SetMail(account_, false, kEventFailing | kEventBackUp, now_);
  store_.Add(account_, "wecom", "k", "", kEventFailing | kEventBackUp, now_);
  ASSERT_TRUE(Remind(1, "a.cn"));
  auto sender = Sender([](const OutgoingRequest&) { return kOk; });
  RefuseSentRecords(db_, "deliveries", true);
  EXPECT_EQ(1, sender->DeliverDue());
  EXPECT_TRUE(store_.Claim("other", now_ + 86400, 120, 10).empty()) << "the channel stays claimed";
  EXPECT_EQ(0, sender->DeliverDue()) << "nor does this instance send it again";
  RefuseSentRecords(db_, "deliveries", false);
  EXPECT_EQ(0, sender->DeliverDue());
  EXPECT_EQ("sent", store_.Deliveries(account_, 1)[0].state);
  EXPECT_EQ(1u, sent_.size());
  ASSERT_TRUE(Remind(1, "b.cn"));
  EXPECT_EQ(1u, store_.Claim("other", now_, 120, 10).size()) << "its claim was given up once recorded";
}

TEST_F(ChannelQueue, ARefusalPausesTheChannelMailsTheOwnerOnceAndKeepsItsReminders) {
  store_.SetMail(account_, false, kEventFailing | kEventBackUp, now_);
  const int64_t channel = store_.Add(account_, "dingtalk", "tok", "wrong", kEventFailing | kEventBackUp, now_);
  bool refusing = true;
  auto sender = Sender([&](const OutgoingRequest&) { return refusing ? kBadSign : kOk; });
  ASSERT_TRUE(Remind(1, "a.cn"));
  EXPECT_EQ(0, sender->DeliverDue());
  const auto paused = store_.Find(account_, channel);
  EXPECT_EQ("errcode 310000: sign not match", paused->pausedReason);
  for (int i = 0; i < 3; ++i) {
    now_ += 600;
    ASSERT_TRUE(Remind(1, std::to_string(i) + ".b.cn"));
    EXPECT_EQ(0, sender->DeliverDue());
  }
  EXPECT_EQ(1u, sent_.size()) << "a paused channel is not tried again";
  const auto notices = mails_.List("", 10);
  ASSERT_EQ(1u, notices.size()) << "the owner is told once";
  EXPECT_EQ("owner@x.cn", notices[0].recipient);
  EXPECT_EQ(0, store_.Deliveries(account_, 10)[0].attempts) << "a refusal uses up no attempt";

  refusing = false;
  ASSERT_TRUE(store_.Resume(account_, channel));
  EXPECT_EQ(4, sender->DeliverDue()) << "the kept reminders go out once resumed";
  EXPECT_EQ(5u, sent_.size());
}

TEST_F(ChannelQueue, ABurstGoesOutAsSummariesWithinTheRateWithNothingLost) {
  store_.SetMail(account_, false, kEventFailing | kEventBackUp, now_);
  store_.Add(account_, "wecom", "k", "", kEventFailing | kEventBackUp, now_);
  // Three single reminders first: the rate has room for each alone.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Remind(1, "http://first" + std::to_string(i) + ".cn/", 1000));
  auto sender = Sender([](const OutgoingRequest&) { return kOk; });
  EXPECT_EQ(3, sender->DeliverDue());
  EXPECT_EQ(3u, sent_.size());
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(Remind(1, "http://site" + std::to_string(i) + ".example.cn/", 1000));
  // A day of minutes at most.
  int delivered = 3;
  for (int step = 0; step < 1440 && delivered < 63; ++step, now_ += 60) delivered += sender->DeliverDue();
  EXPECT_EQ(63, delivered);
  for (int i = 0; i < 60; ++i) {
    EXPECT_EQ(1u, SentContaining("http://site" + std::to_string(i) + ".example.cn/")) << i;
  }
  for (const auto& [time, request] : sent_) {
    EXPECT_LE(request.body.size(), 2048u + 64u);
    int inMinute = 0;
    for (const auto& [other, r] : sent_) inMinute += other > time - 60 && other <= time;
    EXPECT_LE(inMinute, 20) << "requests in the minute to " << time;
  }
  EXPECT_LT(sent_.size(), 30u) << "merged, not one by one";
}
