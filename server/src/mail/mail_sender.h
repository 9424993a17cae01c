// The background sender: delivers queued reminder mails over SMTP, one at a time, and
// retries failed ones on the retry schedule.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "store/mail_store.h"
#include "mail/retry_schedule.h"
#include "mail/smtp_client.h"

class MailSender {
 public:
  // `deliver` hands one message to the mail server (SendMail in production); it returns
  // an empty text on success.
  using Deliver = std::function<std::string(const std::string& recipient, const std::string& message)>;

  MailSender(MailStore& store, RetrySchedule schedule, Deliver deliver);
  // Starts the background thread (tests drive DeliverDue themselves instead).
  void Start();
  // Stops the thread between two mails; a delivery under way finishes first.
  ~MailSender();
  MailSender(const MailSender&) = delete;
  MailSender& operator=(const MailSender&) = delete;

  // Tells the sender a new mail is queued.
  void Wake();

  // One pass over the mails due at `now`; how many were delivered. The thread runs this;
  // tests call it directly with their own clock.
  int DeliverDue(int64_t now);

 private:
  void Run();
  bool StopAsked();

  MailStore& store_;
  const RetrySchedule schedule_;
  const Deliver deliver_;
  std::mutex mutex_;  // guards woken_ and stopping_
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};
