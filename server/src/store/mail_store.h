// The queue of reminder mails in the service's database. A mail is committed before the
// program is told it was accepted, and stays until it is delivered or given up, so a
// restart or an SMTP outage loses none. Sent and given-up mails are deleted in the end.
//
// Any number of service instances may send from one queue: an instance claims due mails
// for a while (a lease), and no other touches them until the lease has ended, so a mail
// is sent by one instance, and the claims of an instance that died are taken over.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "metrics/mail_queue_facts.h"
#include "store/database.h"

struct QueuedMail {
  int64_t id = 0;
  std::string recipient;
  std::string message;  // the whole message: headers, blank line, body
  std::string state;    // "queued", "sent" or "failed"
  int attempts = 0;     // delivery attempts begun so far
  int64_t created = 0;
  int64_t nextAttempt = 0;
  int64_t sentAt = 0;
  std::string lastError;
};

// What a reminder mail is about, kept beside it for the owner's history; all zero and
// empty for the service's own mails (confirmations, links).
struct ReminderSubject {
  std::string site;
  int event = 0;  // 1: the site is failing, 2: it is back up
  int statusCode = 0;
};

// One reminder as the owner's history shows it.
struct ReminderEntry {
  ReminderSubject subject;
  int64_t accepted = 0;  // when the program's request was accepted
  std::string state;     // "queued", "sent" or "failed"
  int attempts = 0;
  int64_t sentAt = 0;
};

class MailStore {
 public:
  explicit MailStore(Database& db);

  // Queues a mail for an account unless the account has queued `hourlyLimit` mails in the
  // hour before `now`; its id, or nothing when over the limit. Check and insert are one
  // step, so concurrent requests, on any instance, cannot pass the limit together.
  std::optional<int64_t> Enqueue(int64_t accountId, const std::string& recipient, const std::string& message,
                                 int64_t now, int hourlyLimit, const ReminderSubject& subject = {});
  // The same inside a transaction the caller holds, so a mail can be queued together with
  // other records of one reminder.
  static std::optional<int64_t> EnqueueIn(SqlConnection& sql, int64_t accountId, const std::string& recipient,
                                          const std::string& message, int64_t now, int hourlyLimit,
                                          const ReminderSubject& subject = {});
  // Claims for `owner` up to `limit` queued mails due at `now` that no one else holds, for
  // `leaseSeconds`; oldest first. Instances claiming at the same time get different mails.
  // Claims begin and end by the database's clock, so instances whose clocks differ still
  // agree on them; when a mail is due goes by the caller's `now`.
  std::vector<QueuedMail> Claim(const std::string& owner, int64_t now, int64_t leaseSeconds, int limit);
  // When the next queued mail is due or its claim ends, in the clock of `now`, if any is queued.
  std::optional<int64_t> NextDue(int64_t now);
  // Records, before a delivery attempt begins, that it is attempt number `attempts`, when
  // the next may be made, and that the claim lasts `leaseSeconds` from now: whatever
  // happens to this attempt, the mail is not tried again before `nextAttempt`. False, and
  // nothing written, when `owner` no longer holds the mail.
  bool BeginAttempt(int64_t id, const std::string& owner, int attempts, int64_t nextAttempt, int64_t leaseSeconds);
  // Gives up `owner`'s claims (the sender is stopping), but those on the mails in `keep`:
  // mails the server accepted whose "sent" could not be written stay claimed until their
  // claim ends, so another instance does not send them again at once.
  void ReleaseClaims(const std::string& owner, const std::set<int64_t>& keep = {});
  // Records that the mail server accepted the mail; false, and nothing written, when `owner`
  // no longer holds the mail (its claim ended and another instance took it over).
  bool MarkSent(int64_t id, const std::string& owner, int64_t now);
  // Records a failed attempt of `owner`'s: retried at `nextAttempt`, or given up when
  // there is none. Ends the claim.
  void MarkFailed(int64_t id, const std::string& owner, int attempts, std::optional<int64_t> nextAttempt,
                  const std::string& error);
  // Deletes sent and given-up mails queued before `queuedBefore`; how many.
  int Purge(int64_t queuedBefore);
  // For the operator's metrics: how many mails are queued, and how long the oldest has waited.
  MailQueueFacts QueueFacts(int64_t now);
  // For the operator: mails of one state ("" for all), newest first.
  std::vector<QueuedMail> List(const std::string& state, int limit);
  // For the owner: the account's reminders still kept, newest first, `limit` from `offset`.
  std::vector<ReminderEntry> Reminders(int64_t accountId, int offset, int limit);

 private:
  Database& db_;
};
