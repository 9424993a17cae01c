// The threads that answer sign-ins. A sign-in checks an Argon2id hash (tens of milliseconds
// of a core and about 19 MiB), so it never runs on a request thread: the request thread
// hands it over here and goes back to other connections; the answer is posted back to the
// connection when it is ready. These threads run at a lower priority (nice 10), so a flood
// of sign-ins leaves the cores to the cheap requests, and only a few sign-ins wait: past
// that a sign-in is refused at once.
//
// The same runner, at the normal priority, takes the requests that read or write the
// database, so that a wait for the database holds up none of the request threads.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SignInRunner {
 public:
  // `threads` jobs at once, at most `waiting` more queued behind them; the threads run at
  // the nice value `niceness`.
  SignInRunner(int threads, size_t waiting, int niceness = 10);
  // Stops the threads; a sign-in under way finishes, queued ones are dropped unrun.
  ~SignInRunner();
  SignInRunner(const SignInRunner&) = delete;
  SignInRunner& operator=(const SignInRunner&) = delete;

  // Queues `job`; false (and `job` dropped) when the queue is full or the runner stops.
  bool Submit(std::function<void()> job);
  void Stop();

 private:
  void Work(int niceness);

  const size_t waiting_;
  std::mutex mutex_;  // guards jobs_ and stopping_
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};
