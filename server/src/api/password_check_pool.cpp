#include "api/password_check_pool.h"

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// Lowers the calling thread's priority (Linux keeps a nice value per thread).
void RunAtLowPriority() {
#ifdef __linux__
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
#endif
}

}  // namespace

PasswordCheckPool::PasswordCheckPool(int threads) : size_(static_cast<size_t>(threads)) {
  for (size_t i = 0; i < size_; ++i) threads_.emplace_back([this] { Work(); });
}

PasswordCheckPool::~PasswordCheckPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& thread : threads_) thread.join();
}

std::optional<bool> PasswordCheckPool::Run(std::function<bool()> check) {
  std::future<bool> result;
  {
    std::lock_guard lock(mutex_);
    if (inFlight_ >= size_) return std::nullopt;
    ++inFlight_;
    result = jobs_.emplace_back(std::move(check)).get_future();
  }
  wake_.notify_one();
  // Gives the place back on every path: a check that throws must not leave it taken, or a
  // few such checks would turn every later sign-in away as busy.
  struct Release {
    PasswordCheckPool& pool;
    ~Release() {
      std::lock_guard lock(pool.mutex_);
      --pool.inFlight_;
    }
  } release{*this};
  return result.get();
}

void PasswordCheckPool::Work() {
  RunAtLowPriority();
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::packaged_task<bool()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}
