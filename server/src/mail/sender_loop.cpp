#include "mail/sender_loop.h"

#include <algorithm>
#include <cstdio>
#include <exception>

SenderLoop::~SenderLoop() { Join(); }

void SenderLoop::Start(SenderWork& work, Clock clock, const char* name) {
  thread_ = std::thread([this, &work, clock = std::move(clock), name] { Run(work, clock, name); });
}

void SenderLoop::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

void SenderLoop::Join() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void SenderLoop::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

bool SenderLoop::StopRequested() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void SenderLoop::Sleep(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, wait, [this] { return woken_ || stopping_; });
  woken_ = false;
}

void SenderLoop::Run(SenderWork& work, const Clock& clock, const char* name) {
  int64_t nextPurge = 0;
  while (!StopRequested()) {
    bool failed = false;
    try {
      while (work.DeliverDue() > 0 && !StopRequested()) {
      }
      if (const int64_t now = clock() / 1000; now >= nextPurge) {
        work.Purge(now);
        nextPurge = now + 3600;
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", name, e.what());
      failed = true;
    }
    // At most a minute, so work queued by the operator tool or another instance is seen.
    int64_t waitMs = 60000;
    try {
      const int64_t nowMs = clock();
      if (const auto due = work.NextDue(nowMs / 1000)) waitMs = std::clamp<int64_t>(*due * 1000 - nowMs, 0, 60000);
    } catch (const std::exception&) {
      failed = true;
    }
    if (work.RecordsPending()) waitMs = std::min<int64_t>(waitMs, 1000);  // try the "sent" records again soon
    if (failed) waitMs = std::max<int64_t>(waitMs, 1000);                 // no busy loop while the database fails
    Sleep(std::chrono::milliseconds(waitMs + (waitMs > 0 ? 100 : 0)));
  }
  try {
    work.LetGo();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s at its stop: %s\n", name, e.what());
  }
}
