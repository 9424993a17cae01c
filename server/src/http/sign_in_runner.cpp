#include "http/sign_in_runner.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

SignInRunner::SignInRunner(int threads, size_t waiting, int niceness) : waiting_(waiting) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this, niceness] { Work(niceness); });
}

SignInRunner::~SignInRunner() { Stop(); }

bool SignInRunner::Submit(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || jobs_.size() >= waiting_) return false;
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

void SignInRunner::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (auto& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void SignInRunner::Work(int niceness) {
  // Linux keeps a nice value per thread.
  if (niceness != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness);
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    try {
      job();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "sign-in failed: %s\n", e.what());
    }
    job = nullptr;  // what the job holds goes before the lock is taken again
    lock.lock();
  }
}
