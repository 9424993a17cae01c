#include "mail/mail_sender.h"

#include <cstdio>
#include <set>

#include "store/lease_owner.h"

MailSender::MailSender(MailStore& store, RetrySchedule schedule, Deliver deliver, Clock clock, int64_t keepSeconds,
                       int64_t leaseSeconds, ServiceMetrics* metrics)
    : store_(store),
      schedule_(schedule),
      deliver_(std::move(deliver)),
      clock_(std::move(clock)),
      keepSeconds_(keepSeconds),
      leaseSeconds_(leaseSeconds),
      owner_(NewLeaseOwnerName()),
      metrics_(metrics) {}

void MailSender::Start() {
  loop_.Start(*this, [this] { return clock_() * 1000; }, "mail sender");
}

void MailSender::Stop() { loop_.Stop(); }

MailSender::~MailSender() { loop_.Join(); }

void MailSender::Wake() { loop_.Wake(); }

bool MailSender::StopRequested() { return loop_.StopRequested(); }

void MailSender::RecordAccepted() {
  for (auto it = accepted_.begin(); it != accepted_.end();) {
    try {
      if (store_.MarkSent(it->first, owner_, it->second)) {
        std::fprintf(stderr, "mail %lld sent\n", static_cast<long long>(it->first));
      } else {
        // Recorded too late: the claim ended and another instance took the mail over.
        std::fprintf(stderr, "mail %lld sent, but its claim had passed to another instance\n",
                     static_cast<long long>(it->first));
      }
      it = accepted_.erase(it);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mail %lld sent, not yet recorded as sent: %s\n", static_cast<long long>(it->first),
                   e.what());
      return;
    }
  }
}

void MailSender::LetGo() {
  RecordAccepted();
  std::set<int64_t> unrecorded;
  for (const auto& [id, when] : accepted_) unrecorded.insert(id);
  store_.ReleaseClaims(owner_, unrecorded);
}

int MailSender::DeliverDue() {
  RecordAccepted();
  int delivered = 0;
  for (const QueuedMail& mail : store_.Claim(owner_, clock_(), leaseSeconds_, 20)) {
    if (StopRequested()) {
      LetGo();  // another instance need not wait for the claims to end
      break;
    }
    if (accepted_.contains(mail.id)) continue;
    // The lease is renewed from the time this exchange begins: one taken from the time of
    // the claim may have run out during the exchanges before, and another instance would
    // then take the mail over while this one still sends it.
    const int64_t now = clock_();
    const int attempts = mail.attempts + 1;
    const auto next = NextAttemptTime(schedule_, attempts, now);
    // Written before the exchange: if the exchange hangs, the process dies or a later write
    // fails, the mail still waits for its back-off. When this write fails, or the claim has
    // passed to another instance meanwhile, nothing is sent.
    if (!store_.BeginAttempt(mail.id, owner_, attempts, next.value_or(now + schedule_.maxDelaySeconds),
                             leaseSeconds_)) {
      continue;
    }
    const std::string error = deliver_(mail.recipient, mail.message);
    if (error.empty()) {
      ++delivered;
      if (metrics_) metrics_->CountMailSent();
      accepted_.emplace(mail.id, clock_());
      RecordAccepted();
      continue;
    }
    store_.MarkFailed(mail.id, owner_, attempts, next, error);
    if (!next && metrics_) metrics_->CountMailGivenUp();
    std::fprintf(stderr, "mail %lld attempt %d failed: %s%s\n", static_cast<long long>(mail.id), attempts,
                 error.c_str(), next ? "" : " (given up)");
  }
  return delivered;
}

void MailSender::Purge(int64_t now) { store_.Purge(now - keepSeconds_); }

std::optional<int64_t> MailSender::NextDue(int64_t now) { return store_.NextDue(now); }
