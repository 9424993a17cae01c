// The background sender: delivers queued reminder mails over SMTP, one at a time, retries
// failed ones on the retry schedule, and deletes finished mails after a while.
//
// What it promises: every queued mail reaches the mail server at least once. Each attempt
// and the time of the next are written to the database before the SMTP exchange begins,
// so no failure (of the database, of curl, of the process) can make it try faster than
// the back-off. A mail the server accepted whose "sent" cannot be written yet is kept in
// memory and never sent again while the process lives; at a stop it is written before the
// other claims are given up, and when it still cannot be, its claim is kept to its end.
// Only a process that ends between the server's acceptance and that record, or whose
// record fails until its claim ends, has the mail sent again, with the same Message-ID.
#pragma once

#include <functional>
#include <string>
#include <map>

#include "metrics/service_metrics.h"
#include "store/mail_store.h"
#include "mail/retry_schedule.h"
#include "mail/sender_loop.h"
#include "mail/smtp_client.h"

class MailSender : private SenderWork {
 public:
  // `deliver` hands one message to the mail server (SendMail in production); it returns
  // an empty text on success.
  using Deliver = std::function<std::string(const std::string& recipient, const std::string& message)>;
  // The time in seconds since the epoch: std::time in production, a test's own clock in tests.
  using Clock = std::function<int64_t()>;

  // Sent and given-up mails are deleted `keepSeconds` after they were queued. The sender
  // claims mails for `leaseSeconds` at a time; a claim it could not finish is taken over by
  // another instance when it ends. `metrics`, when given, counts the mails the server
  // accepted and those given up.
  MailSender(MailStore& store, RetrySchedule schedule, Deliver deliver, Clock clock, int64_t keepSeconds = 30 * 86400,
             int64_t leaseSeconds = 120, ServiceMetrics* metrics = nullptr);
  // Starts the background thread (tests drive DeliverDue themselves instead).
  void Start();
  // Asks the sender to stop: the delivery under way finishes, no other begins. Any thread
  // may call it, at any time; the destructor waits for the thread to end.
  void Stop();
  ~MailSender();
  MailSender(const MailSender&) = delete;
  MailSender& operator=(const MailSender&) = delete;

  // Tells the sender a new mail is queued.
  void Wake();

  // One pass over the mails due now; how many the mail server accepted. The thread runs
  // this; tests call it directly. The clock is read again for each mail: a pass over many
  // slow exchanges can outlast the claim it began with.
  int DeliverDue() override;

 private:
  void Purge(int64_t now) override;
  std::optional<int64_t> NextDue(int64_t now) override;
  bool RecordsPending() const override { return !accepted_.empty(); }
  // At a stop: writes what the server accepted, then gives up the claims, but those on
  // mails accepted whose "sent" still cannot be written.
  void LetGo() override;
  bool StopRequested();
  // Writes "sent" for the mails the server accepted whose record failed before.
  void RecordAccepted();

  MailStore& store_;
  const RetrySchedule schedule_;
  const Deliver deliver_;
  const Clock clock_;
  const int64_t keepSeconds_;
  const int64_t leaseSeconds_;
  const std::string owner_;  // this sender's name on its claims, unique among instances
  ServiceMetrics* const metrics_;
  // Mails the server accepted, by id, with the time, whose "sent" is not yet written.
  // Touched only by the thread that runs DeliverDue.
  std::map<int64_t, int64_t> accepted_;
  SenderLoop loop_;
};
