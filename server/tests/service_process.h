// Programs a test starts: a server that must be listening before the test goes on, and a
// command-line tool run to its end, each with settings in its environment.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

using Settings = std::vector<std::pair<std::string, std::string>>;  // environment name, value

class ServiceProcess {
 public:
  // Starts `argv` and waits until it listens on 127.0.0.1:port; its standard error goes to
  // `logPath` when one is given.
  ServiceProcess(const std::vector<std::string>& argv, int port, const Settings& settings,
                 const std::string& logPath = "");
  // Stops it with SIGTERM when it still runs.
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  // Whether it has ended (and is then no longer running), without waiting.
  bool Ended();
  pid_t Pid() const { return pid_; }
  // Sends `signal` and waits for the process to end.
  void Kill(int signal);
  // Sends `signal` and waits up to `seconds` for the process to end: its exit code, or -1
  // when it was still running (it is then killed).
  int StopWithin(int signal, double seconds);

 private:
  pid_t pid_ = -1;
};

// Starts `argv` with `settings` in its environment; `in`, `out` and `err` (-1: inherited)
// become its standard input, output and error. The caller waits for it.
pid_t Spawn(const std::vector<std::string>& argv, const Settings& settings, int in, int out, int err);

// Runs a program with settings in its environment and `input` on its standard input;
// its exit code and standard output.
std::pair<int, std::string> RunTool(const std::vector<std::string>& argv, const Settings& settings,
                                    const std::string& input = "");
