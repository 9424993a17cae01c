// A private PostgreSQL server for the tests of one process: Debian's PostgreSQL 15 with a
// data folder of its own under /tmp, on a free port of 127.0.0.1, run as the `postgres`
// user when the tests run as root (PostgreSQL refuses to run as root). A small watcher
// started with it stops it and removes its folder when the test process ends, however
// it ends.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

class PostgresServer {
 public:
  // The process's server, started on first use and stopped at exit.
  static PostgresServer& Shared();

  // Creates the data folder and starts the server; throws std::runtime_error when either fails.
  PostgresServer();
  // Stops the server at once and removes its folder.
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  int Port() const { return port_; }
  // A new, empty database ("postgresql://postgres@127.0.0.1:PORT/NAME"); starts the server
  // again first if a test left it stopped.
  std::string CreateDatabase();
  // Stops the server at once, breaking every connection to it, and starts it again on the
  // same port with the same data.
  void Stop();
  void Start();

 private:
  std::string ConnectionString(const std::string& database) const;
  // `args` run in the server's folder, as the `postgres` user when the process is root.
  std::vector<std::string> AsServerUser(std::vector<std::string> args) const;
  // Starts the server on port_; false when it did not come up.
  bool TryStart();
  void StartWatcher();

  std::string folder_;  // open to every user; holds data/
  std::string data_;    // the server's own
  int port_ = 0;
  bool running_ = false;
  std::atomic<int> databases_{0};
  int watcherPipe_ = -1;  // the watcher cleans up when this closes
  pid_t watcher_ = -1;
};
