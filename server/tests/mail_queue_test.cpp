// The mail queue in a real SQLite file delivering to a real SMTP server: queued mails
// arrive once each, an outage is retried on the schedule, a mail is given up in the end,
// each attempt is written before its exchange, and finished mails are deleted in time.
#include <gtest/gtest.h>

#include "store/database.h"
#include "mail/mail_sender.h"
#include "store/mail_store.h"
#include "mail/reminder_mail.h"
#include "raw_http.h"
#include "smtp_sink.h"
#include "test_folder.h"

namespace {

std::string Reminder(int templateId, int code, const std::string& site) {
  return ComposeReminderMail({"me@x.cn", "monitor@service.test", templateId, code, site, 1796724192, "id1@service.test"});
}

// A fresh database file with its mail queue.
class MailQueue : public ::testing::Test {
 protected:
  TestFolder folder_;
  const std::string path_ = folder_.Path() + "/accounts.db";
  Database db_{path_, 100};
  MailStore store_{db_};
};

}  // namespace

TEST_F(MailQueue, DeliversEachMailOnceAndRetriesAfterAnOutage) {
  const int port = FreePort();
  SmtpSettings smtp;
  smtp.port = port;
  smtp.timeoutSeconds = 10;
  MailSender sender(store_, RetrySchedule{30, 3600, 2},
                    [&](const std::string& to, const std::string& message) { return SendMail(smtp, to, message); });

  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", Reminder(1, 404, "http://a.cn/?b=1&c=2"), 1000, 30));
  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", Reminder(2, 200, "http://a.cn/?b=1&c=2"), 1000, 30));

  // The mail server is down: both attempts fail and wait for the schedule.
  EXPECT_EQ(0, sender.DeliverDue(1000));
  for (const QueuedMail& mail : store_.List("queued", 10)) {
    EXPECT_EQ(1, mail.attempts);
    EXPECT_EQ(1030, mail.nextAttempt);
    EXPECT_FALSE(mail.lastError.empty());
  }
  EXPECT_EQ(0, sender.DeliverDue(1029)) << "not due yet";

  SmtpSink sink(port, folder_.Path() + "/mail");
  ASSERT_TRUE(sink.Running());
  EXPECT_EQ(2, sender.DeliverDue(1030));
  EXPECT_EQ(0, sender.DeliverDue(5000)) << "a delivered mail is never sent again";
  const auto mails = sink.Mails();
  ASSERT_EQ(2u, mails.size());
  EXPECT_EQ(2u, store_.List("sent", 10).size());
  for (const char* expected : {"To: me@x.cn", "X-RcptTo: me@x.cn", "网站：http://a.cn/?b=1&c=2",
                                      "状态码：404（网页不存在）", "网站访问异常", "Content-Type: text/plain; charset=UTF-8"}) {
    EXPECT_NE(std::string::npos, mails[0].find(expected)) << expected << "\n" << mails[0];
  }
  EXPECT_NE(std::string::npos, mails[1].find("状态码：200（访问正常）")) << mails[1];
  EXPECT_NE(std::string::npos, mails[1].find("网站已恢复正常")) << mails[1];
}

TEST_F(MailQueue, GivesUpAfterTheLastAttempt) {
  MailSender sender(store_, RetrySchedule{30, 3600, 2}, [](const std::string&, const std::string&) {
    return std::string("451 try later");
  });
  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", Reminder(1, 600, "http://a.cn"), 1000, 30));
  EXPECT_EQ(0, sender.DeliverDue(1000));
  EXPECT_EQ(0, sender.DeliverDue(1030));
  const auto failed = store_.List("failed", 10);
  ASSERT_EQ(1u, failed.size());
  EXPECT_EQ(2, failed[0].attempts);
  EXPECT_EQ("451 try later", failed[0].lastError);
  EXPECT_TRUE(store_.Due(100000, 10).empty());
  EXPECT_FALSE(store_.NextDue().has_value());
}

TEST_F(MailQueue, LimitsMailsPerAccountAndHour) {
  EXPECT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 1000, 2));
  EXPECT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 1500, 2));
  EXPECT_FALSE(store_.Enqueue(1, "a@x.cn", "m", 2000, 2));
  EXPECT_TRUE(store_.Enqueue(2, "b@x.cn", "m", 2000, 2)) << "another account has its own share";
  EXPECT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 4600, 2)) << "the first mail has left the hour";
}

TEST_F(MailQueue, WritesEachAttemptFirstAndNeverResendsAMailTheServerTook) {
  Database other(path_);  // another process holding the file's write lock
  std::vector<QueuedMail> seenDuringExchange;
  int exchanges = 0;
  MailSender* running = nullptr;
  MailSender sender(store_, RetrySchedule{30, 3600, 5}, [&](const std::string&, const std::string& message) {
    ++exchanges;
    seenDuringExchange = store_.List("queued", 10);
    if (message == "lock") other.Exec("BEGIN IMMEDIATE");
    if (message == "stop") running->Stop();
    return std::string();
  });
  running = &sender;

  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", "lock", 1000, 30));
  EXPECT_EQ(1, sender.DeliverDue(1000));
  ASSERT_EQ(1u, seenDuringExchange.size());
  EXPECT_EQ(1, seenDuringExchange[0].attempts) << "the attempt is on file before the exchange";
  EXPECT_EQ(1030, seenDuringExchange[0].nextAttempt) << "and so is the back-off";
  ASSERT_EQ(1u, store_.List("queued", 10).size()) << "the file was locked when the mail was to be marked sent";
  sender.DeliverDue(1030);
  EXPECT_EQ(1, exchanges) << "due again, still locked: not sent again";
  other.Exec("COMMIT");
  EXPECT_EQ(0, sender.DeliverDue(1031));
  EXPECT_EQ(1u, store_.List("sent", 10).size());
  EXPECT_EQ(1, exchanges);

  // Told to stop during a delivery, the sender begins no other.
  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", "stop", 2000, 30));
  ASSERT_TRUE(store_.Enqueue(7, "me@x.cn", "next", 2000, 30));
  EXPECT_EQ(1, sender.DeliverDue(2000));
  EXPECT_EQ(0, store_.List("queued", 10)[0].attempts) << "the second mail was not tried";
}

TEST_F(MailQueue, DeletesFinishedMailsAfterTheirTime) {
  const auto sent = store_.Enqueue(1, "a@x.cn", "m", 1000, 30);
  const auto failed = store_.Enqueue(1, "a@x.cn", "m", 1000, 30);
  ASSERT_TRUE(store_.Enqueue(1, "a@x.cn", "m", 1000, 30));
  store_.MarkSent(*sent, 1001);
  store_.MarkFailed(*failed, 1, std::nullopt, "550 no such user");
  EXPECT_EQ(0, store_.Purge(1000)) << "queued at 1000: not before it";
  EXPECT_EQ(2, store_.Purge(1001));
  const auto left = store_.List("", 10);
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ("queued", left[0].state) << "a mail still to be sent is never deleted";
}
