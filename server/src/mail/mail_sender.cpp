#include "mail/mail_sender.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

MailSender::MailSender(MailStore& store, RetrySchedule schedule, Deliver deliver)
    : store_(store), schedule_(schedule), deliver_(std::move(deliver)) {}

void MailSender::Start() { thread_ = std::thread([this] { Run(); }); }

MailSender::~MailSender() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool MailSender::StopAsked() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void MailSender::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

int MailSender::DeliverDue(int64_t now) {
  int delivered = 0;
  for (const QueuedMail& mail : store_.Due(now, 20)) {
    if (StopAsked()) break;  // a stop waits for one mail at most, never for the backlog
    const std::string error = deliver_(mail.recipient, mail.message);
    // Marked right after the server took it: a kill in between is the only way a mail
    // goes out twice, and then with the same Message-ID.
    if (error.empty()) {
      store_.MarkSent(mail.id, now);
      ++delivered;
      std::fprintf(stderr, "mail %lld sent to %s\n", static_cast<long long>(mail.id), mail.recipient.c_str());
      continue;
    }
    const int attempts = mail.attempts + 1;
    const auto next = NextAttemptTime(schedule_, attempts, now);
    store_.MarkFailed(mail.id, attempts, next, error);
    std::fprintf(stderr, "mail %lld attempt %d failed: %s%s\n", static_cast<long long>(mail.id), attempts,
                 error.c_str(), next ? "" : " (given up)");
  }
  return delivered;
}

void MailSender::Run() {
  while (true) {
    try {
      while (!StopAsked() && DeliverDue(std::time(nullptr)) > 0) {
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "mail sender: %s\n", e.what());
    }
    // Sleep until the next retry is due (at most a minute, so mails queued by the operator
    // tool or another process are seen), a new mail arrives, or the service stops.
    int64_t wait = 60;
    try {
      if (const auto due = store_.NextDue()) wait = std::clamp<int64_t>(*due - std::time(nullptr), 0, 60);
    } catch (const std::exception&) {
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::seconds(wait) + std::chrono::milliseconds(wait > 0 ? 100 : 0),
                   [this] { return woken_ || stopping_; });
    if (stopping_) return;
    woken_ = false;
  }
}
