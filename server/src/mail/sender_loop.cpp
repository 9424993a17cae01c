#include "mail/sender_loop.h"

SenderLoop::~SenderLoop() { Join(); }

void SenderLoop::Start(std::function<void()> run) { thread_ = std::thread(std::move(run)); }

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
