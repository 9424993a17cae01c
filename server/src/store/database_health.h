// Whether the service's database is usable, for /healthz. A thread of its own reads the
// layout version four times a second on a connection of its own (not one of the pool's,
// which requests waiting for a lock may all hold), each read waiting at most half a
// second; the page answers from the last result, which counts only while it is at most a
// second old. So a health check never waits for the database, and a database that stops
// answering, or a file that can no longer be read, turns it to 503 within about a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "store/postgres_connection.h"
#include "store/sql_connection.h"

class DatabaseHealth {
 public:
  // Checks once before returning, then keeps checking until Stop.
  DatabaseHealth(std::string setting, PostgresSettings postgres);
  ~DatabaseHealth();
  DatabaseHealth(const DatabaseHealth&) = delete;
  DatabaseHealth& operator=(const DatabaseHealth&) = delete;

  // True when a check at most a second ago found the database at this build's layout.
  bool Healthy() const;
  // Ends the checks, a check under way at once. Safe from any thread.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;

  // Reads the layout version; true when it is this build's.
  bool CheckOnce();
  void Run();

  const std::string setting_;
  const PostgresSettings postgres_;
  std::unique_ptr<SqlConnection> connection_;  // the checking thread's alone; reopened after a failure
  std::atomic<int64_t> healthyAt_;  // steady-clock ticks of the last good check
  std::atomic<int64_t> cutOff_;     // moved to now by Stop, ending a wait under way
  std::mutex mutex_;                // guards stopping_
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;              // last: started once the rest is ready
};
