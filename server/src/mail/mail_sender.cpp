#include "mail/mail_sender.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

MailSender::MailSender(MailStore& store, RetrySchedule schedule, Deliver deliver, int64_t keepSeconds,
                       ServiceMetrics* metrics)
    : store_(store), schedule_(schedule), deliver_(std::move(deliver)), keepSeconds_(keepSeconds), metrics_(metrics) {}

void MailSender::Start() { thread_ = std::thread([this] { Run(); }); }

void MailSender::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

MailSender::~MailSender() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void MailSender::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

bool MailSender::StopRequested() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void MailSender::RecordAccepted() {
  for (auto it = accepted_.begin(); it != accepted_.end();) {
    try {
      store_.MarkSent(it->first, it->second);
      std::fprintf(stderr, "mail %lld sent\n", static_cast<long long>(it->first));
      it = accepted_.erase(it);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mail %lld sent, not yet recorded as sent: %s\n", static_cast<long long>(it->first),
                   e.what());
      return;
    }
  }
}

int MailSender::DeliverDue(int64_t now) {
  RecordAccepted();
  int delivered = 0;
  for (const QueuedMail& mail : store_.Due(now, 20)) {
    if (StopRequested()) break;
    if (accepted_.contains(mail.id)) continue;
    const int attempts = mail.attempts + 1;
    const auto next = NextAttemptTime(schedule_, attempts, now);
    // Written before the exchange: if the exchange hangs, the process dies or a later write
    // fails, the mail still waits for its back-off. When this write fails, nothing is sent.
    store_.BeginAttempt(mail.id, attempts, next.value_or(now + schedule_.maxDelaySeconds));
    const std::string error = deliver_(mail.recipient, mail.message);
    if (error.empty()) {
      ++delivered;
      if (metrics_) metrics_->CountMailSent();
      accepted_.emplace(mail.id, now);
      RecordAccepted();
      continue;
    }
    store_.MarkFailed(mail.id, attempts, next, error);
    if (!next && metrics_) metrics_->CountMailGivenUp();
    std::fprintf(stderr, "mail %lld attempt %d failed: %s%s\n", static_cast<long long>(mail.id), attempts,
                 error.c_str(), next ? "" : " (given up)");
  }
  return delivered;
}

void MailSender::Run() {
  int64_t nextPurge = 0;
  while (!StopRequested()) {
    int64_t leastWait = 0;
    try {
      while (DeliverDue(std::time(nullptr)) > 0 && !StopRequested()) {
      }
      if (const int64_t now = std::time(nullptr); now >= nextPurge) {
        store_.Purge(now - keepSeconds_);
        nextPurge = now + 3600;
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mail sender: %s\n", e.what());
      leastWait = 1;  // the database failed: no busy loop while it stays so
    }
    if (!accepted_.empty()) leastWait = 1;
    // Sleep until the next retry is due (at most a minute, so mails queued by the operator
    // tool or another process are seen), a new mail arrives, or the service stops.
    int64_t wait = 60;
    try {
      if (const auto due = store_.NextDue()) wait = std::clamp<int64_t>(*due - std::time(nullptr), leastWait, 60);
    } catch (const std::exception&) {
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(wait) + std::chrono::milliseconds(wait > 0 ? 100 : 0),
                   [this] { return woken_ || stopping_; });
    woken_ = false;
  }
}
