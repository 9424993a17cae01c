// The thread of a background sender (mail, channels): it runs the sender's loop, which
// sleeps between passes until a time it names, a wake (new work queued) or the stop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class SenderLoop {
 public:
  SenderLoop() = default;
  SenderLoop(const SenderLoop&) = delete;
  SenderLoop& operator=(const SenderLoop&) = delete;
  // Stops and waits for the thread.
  ~SenderLoop();

  // Starts the thread on `run`, which returns once StopRequested() is true.
  void Start(std::function<void()> run);
  // Asks the loop to stop; any thread may call it, at any time.
  void Stop();
  // Stops and waits for the thread to end; the owner calls it before its own members go.
  void Join();
  // Ends the current or next Sleep early.
  void Wake();
  bool StopRequested();
  // Sleeps for `wait`, or until woken or stopped.
  void Sleep(std::chrono::milliseconds wait);

 private:
  std::mutex mutex_;  // guards woken_ and stopping_
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};
