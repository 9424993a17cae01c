// The mail queue in a real database of either engine: an outage is retried on the schedule, a delivered
// mail is never sent again, a mail is given up in the end, each attempt is written before
// its exchange, mails are limited per account and hour, and finished mails are deleted in
// time. Delivery to a real SMTP server is the service tests' part.
#include <gtest/gtest.h>

#include "mail/mail_sender.h"
#include "store/database.h"
#include "store/mail_store.h"
#include "test_database.h"

namespace {

// A fresh database file with its mail queue.
class MailQueue : public ::testing::Test {
 protected:
  MailSender::Clock Clock() {
    return [this] { return now_; };
  }
  // Lets `seconds` pass: on the senders' clock, and for the claims, which the database's
  // clock measures.
  void Elapse(int64_t seconds) {
    static constexpr Query kShiftClaims{"UPDATE mails SET lease_until = lease_until - $1 WHERE lease_until > 0"};
    now_ += seconds;
    db_.WithConnection([&](SqlConnection& sql) { sql(kShiftClaims, seconds); });
  }
  // Makes the database refuse to record a mail as sent, as a full disk would, or take it again.
  void RefuseSent(bool refuse) { RefuseSentRecords(db_, "mails", refuse); }

  int64_t now_ = 1000;
  TestFolder folder_;
  Database db_{TestDatabase(folder_)};
  MailStore store_{db_};
};

}  // namespace

TEST_F(MailQueue, RetriesAnOutageOnTheScheduleDeliversOnceAndGivesUpInTheEnd) {
  bool serverDown = true;
  std::vector<std::string> delivered;
  MailSender sender(store_, RetrySchedule{30, 3600, 2}, [&](const std::string&, const std::string& message) {
    if (serverDown || message == "refused") return std::string("451 try later");
    delivered.push_back(message);
    return std::string();
  }, Clock());
  for (const char* message : {"welcome", "refused"}) ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", message, 1000, 30));

  // The mail server is down: both attempts fail and wait for the schedule.
  EXPECT_EQ(0, sender.DeliverDue());
  for (const QueuedMail& mail : store_.List("queued", 10)) {
    EXPECT_EQ(1, mail.attempts);
    EXPECT_EQ(1030, mail.nextAttempt);
    EXPECT_EQ("451 try later", mail.lastError);
  }
  now_ = 1029;
  EXPECT_EQ(0, sender.DeliverDue()) << "not due yet";

  serverDown = false;
  now_ = 1030;
  EXPECT_EQ(1, sender.DeliverDue());
  now_ = 5000;
  EXPECT_EQ(0, sender.DeliverDue()) << "a delivered mail is never sent again";
  EXPECT_EQ(std::vector<std::string>{"welcome"}, delivered);
  EXPECT_EQ(1u, store_.List("sent", 10).size());
  const auto failed = store_.List("failed", 10);
  ASSERT_EQ(1u, failed.size()) << "given up after the last attempt";
  EXPECT_EQ(2, failed[0].attempts);
  EXPECT_EQ("451 try later", failed[0].lastError);
  EXPECT_TRUE(store_.Claim("another", 100000, 120, 10).empty());
  EXPECT_FALSE(store_.NextDue(now_).has_value());
}

TEST_F(MailQueue, LimitsMailsPerAccountAndHour) {
  for (int64_t t : {1000, 1500}) EXPECT_TRUE(store_.Enqueue(1, "a@x.cn", "m", t, 2));
  EXPECT_FALSE(store_.Enqueue(1, "a@x.cn", "m", 2000, 2));
  EXPECT_TRUE(store_.Enqueue(2, "b@x.cn", "m", 2000, 2)) << "another account has its own share";
  EXPECT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 4600, 2)) << "the first mail has left the hour";
}

TEST_F(MailQueue, WritesEachAttemptFirstAndStopsBetweenDeliveries) {
  std::vector<QueuedMail> seenDuringExchange;
  MailSender* running = nullptr;
  MailSender sender(store_, RetrySchedule{30, 3600, 5}, [&](const std::string&, const std::string& message) {
    if (seenDuringExchange.empty()) seenDuringExchange = store_.List("queued", 10);
    if (message == "stop") running->Stop();
    return std::string();
  }, Clock());
  running = &sender;

  // Told to stop during a delivery, the sender begins no other.
  for (const char* message : {"stop", "next"}) ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", message, 1000, 30));
  EXPECT_EQ(1, sender.DeliverDue());
  ASSERT_EQ(2u, seenDuringExchange.size());  // newest first
  EXPECT_EQ("stop", seenDuringExchange[1].message);
  EXPECT_EQ(1, seenDuringExchange[1].attempts) << "the attempt is on file before the exchange";
  EXPECT_EQ(1030, seenDuringExchange[1].nextAttempt) << "and so is the back-off";
  const auto queued = store_.List("queued", 10);
  ASSERT_EQ(1u, queued.size());
  EXPECT_EQ(0, queued[0].attempts) << "the second mail was not tried";
}

// Two senders on one database stand for two instances. A pass over slow exchanges outlasts
// the claim it began with; each mail is leased from its own exchange, so the other sender
// does not take over a mail still being sent.
TEST_F(MailQueue, AMailUnderWayIsNeverTakenOverWhenAPassOutlastsItsClaim) {
  std::vector<std::string> delivered;
  MailSender* other = nullptr;
  int tookOver = -1;
  const auto deliver = [&](const std::string&, const std::string& message) {
    delivered.push_back(message);
    if (message == "slow") Elapse(90);  // within the lease, as the SMTP time-out is
    if (message == "second" && tookOver < 0) {
      Elapse(11);  // the claim of the pass has ended, the exchange has not
      tookOver = other->DeliverDue();
    }
    return std::string();
  };
  MailSender first(store_, RetrySchedule{30, 3600, 5}, deliver, Clock(), 86400, 100);
  MailSender second(store_, RetrySchedule{30, 3600, 5}, deliver, Clock(), 86400, 100);
  other = &second;
  for (const char* message : {"slow", "second"}) ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", message, 1000, 30));
  EXPECT_EQ(2, first.DeliverDue());
  EXPECT_EQ(0, tookOver);
  EXPECT_EQ((std::vector<std::string>{"slow", "second"}), delivered);
}

TEST_F(MailQueue, DeletesFinishedMailsAfterTheirTime) {
  const auto sent = store_.Enqueue(1, "a@x.cn", "m", 1000, 30);
  const auto failed = store_.Enqueue(1, "a@x.cn", "m", 1000, 30);
  ASSERT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 1000, 30));
  EXPECT_TRUE(store_.MarkSent(*sent, "", 1001));
  store_.MarkFailed(*failed, "", 1, std::nullopt, "550 no such user");
  EXPECT_EQ(0, store_.Purge(1000)) << "queued at 1000: not before it";
  EXPECT_EQ(2, store_.Purge(1001));
  const auto left = store_.List("", 10);
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ("queued", left[0].state) << "a mail still to be sent is never deleted";
}

TEST_F(MailQueue, ClaimsKeepInstancesApartUntilTheirLeaseEnds) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 1000, 30));
  const auto ids = [](const std::vector<QueuedMail>& mails) {
    std::vector<int64_t> out;
    for (const QueuedMail& mail : mails) out.push_back(mail.id);
    return out;
  };
  const auto first = ids(store_.Claim("A", 1000, 60, 2));
  ASSERT_EQ(2u, first.size());
  EXPECT_EQ(1u, store_.Claim("B", 1000, 70, 10).size()) << "B gets only the mail A left";
  EXPECT_TRUE(store_.Claim("C", 1059, 60, 10).empty()) << "every mail is held";
  EXPECT_TRUE(store_.Claim("C", 1000 + 86400, 60, 10).empty()) << "even when C's own clock runs a day ahead";
  EXPECT_FALSE(store_.BeginAttempt(first[0], "B", 1, 1090, 60)) << "B may not begin A's mail";

  // A dies: at the end of its lease its mails are free; A's late attempt is refused.
  Elapse(60);
  EXPECT_EQ(first, ids(store_.Claim("C", now_, 60, 10)));
  EXPECT_FALSE(store_.BeginAttempt(first[0], "A", 1, 1090, 60));
  EXPECT_TRUE(store_.BeginAttempt(first[0], "C", 1, 1090, 60));
  // C stops: what it has not begun is free at once; the begun mail waits for its back-off.
  store_.ReleaseClaims("C");
  EXPECT_EQ(std::vector<int64_t>{first[1]}, ids(store_.Claim("D", 1061, 60, 10)));
  // In the caller's clock; the database's may tick meanwhile.
  EXPECT_NEAR(1070, store_.NextDue(now_).value_or(0), 1) << "B's claim ends first";
}

// Two senders on one database stand for two instances.
TEST_F(MailQueue, OnlyTheHolderOfAClaimRecordsTheMailSentAndKeepsItUntilItHas) {
  std::vector<std::string> delivered;
  MailSender* running = nullptr;
  const auto deliver = [&](const std::string&, const std::string& message) {
    delivered.push_back(message);
    if (message == "accepted") {
      RefuseSent(true);  // the server took the mail; its "sent" cannot be written
      running->Stop();
    }
    if (message == "outlasted") {
      Elapse(100);  // the exchange outlasts its claim, and another instance takes the mail over
      EXPECT_EQ(1u, store_.Claim("taker", now_, 100, 10).size());
    }
    return std::string();
  };
  MailSender stopping(store_, RetrySchedule{30, 3600, 5}, deliver, Clock(), 86400, 100);
  running = &stopping;
  for (const char* message : {"accepted", "not begun"}) ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", message, 1000, 30));

  // At the stop, the claim of the mail not yet recorded is kept; the mail not begun is free
  // for another instance at once, whatever that one's clock says.
  EXPECT_EQ(1, stopping.DeliverDue());
  const auto free = store_.Claim("other", now_ + 86400, 100, 10);
  ASSERT_EQ(1u, free.size());
  EXPECT_EQ("not begun", free[0].message);
  // Once the database takes the record again, the sender writes it.
  RefuseSent(false);
  EXPECT_EQ(0, stopping.DeliverDue());
  ASSERT_EQ(1u, store_.List("sent", 10).size());
  EXPECT_EQ("accepted", store_.List("sent", 10)[0].message);

  // A late "sent" is refused: the mail stays with the instance that took it over.
  store_.ReleaseClaims("other");
  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", "outlasted", 1000, 30));
  MailSender late(store_, RetrySchedule{30, 3600, 5}, deliver, Clock(), 86400, 100);
  EXPECT_EQ(2, late.DeliverDue());
  EXPECT_EQ(2u, store_.List("sent", 10).size()) << "the mail taken over is not among them";
  EXPECT_EQ((std::vector<std::string>{"accepted", "not begun", "outlasted"}), delivered);
  for (const QueuedMail& mail : store_.List("queued", 10)) {
    EXPECT_TRUE(store_.BeginAttempt(mail.id, "taker", mail.attempts + 1, now_ + 60, 100)) << mail.message;
  }
}
