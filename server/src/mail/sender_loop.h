// The thread of a background sender (mail, channels) and the loop it runs: passes over the
// work due, an hourly purge of finished work, then a sleep until the next work is due or a
// claim ends, a wake (new work queued) or the stop; at the stop the sender lets its claims go.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// What a sender does; the loop decides when. Called on the loop's thread only.
class SenderWork {
 public:
  virtual ~SenderWork() = default;
  // One pass over the work due now; how much was delivered. The loop passes again at once
  // while anything was.
  virtual int DeliverDue() = 0;
  // Deletes finished work; about once an hour, with the sender's time in seconds.
  virtual void Purge(int64_t now) = 0;
  // When the next work is due or a claim ends, in seconds of the sender's clock, if any waits.
  virtual std::optional<int64_t> NextDue(int64_t now) = 0;
  // True while work the other side accepted still waits for its "sent" record.
  virtual bool RecordsPending() const = 0;
  // At the stop: writes what it can and gives up its claims.
  virtual void LetGo() = 0;
};

class SenderLoop {
 public:
  // The sender's time in milliseconds since the epoch.
  using Clock = std::function<int64_t()>;

  SenderLoop() = default;
  SenderLoop(const SenderLoop&) = delete;
  SenderLoop& operator=(const SenderLoop&) = delete;
  // Stops and waits for the thread.
  ~SenderLoop();

  // Starts the thread on the loop over `work`, which must outlive it; `name` begins the
  // loop's log lines.
  void Start(SenderWork& work, Clock clock, const char* name);
  // Asks the loop to stop; any thread may call it, at any time.
  void Stop();
  // Stops and waits for the thread to end; the owner calls it before its own members go.
  void Join();
  // Ends the current or next sleep early.
  void Wake();
  bool StopRequested();

 private:
  void Run(SenderWork& work, const Clock& clock, const char* name);
  void Sleep(std::chrono::milliseconds wait);

  std::mutex mutex_;  // guards woken_ and stopping_
  std::condition_variable wake_;
  bool woken_ = false;
  bool stopping_ = false;
  std::thread thread_;
};
