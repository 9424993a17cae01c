// A few low-priority threads that run the costly password checks. Each check takes a core
// and about 19 MiB for tens of milliseconds; run on the request threads, a flood of
// sign-ins would crowd out the programs' cheap service-information requests. Here the
// checks run at a lower scheduling priority, at most one per pool thread, and a sign-in
// that finds every thread busy is turned away at once instead of holding a request thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class PasswordCheckPool {
 public:
  explicit PasswordCheckPool(int threads);
  ~PasswordCheckPool();
  PasswordCheckPool(const PasswordCheckPool&) = delete;
  PasswordCheckPool& operator=(const PasswordCheckPool&) = delete;

  // Runs `check` on a pool thread and waits for its result; nothing when all are busy. An
  // exception from `check` reaches the caller, and its place in the pool is given back.
  std::optional<bool> Run(std::function<bool()> check);

 private:
  void Work();

  const size_t size_;
  std::mutex mutex_;  // guards jobs_, inFlight_ and stopping_
  std::condition_variable wake_;
  std::deque<std::packaged_task<bool()>> jobs_;
  size_t inFlight_ = 0;  // checks asked for and not yet answered
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
