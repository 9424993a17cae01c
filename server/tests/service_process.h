// The real service binary started for a test, with its settings in the environment.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

using Settings = std::vector<std::pair<std::string, std::string>>;  // TARN_* name, value

class ServiceProcess {
 public:
  // Starts the binary and waits until it listens on `port`; its log goes to `logPath`.
  ServiceProcess(const std::string& binary, int port, const Settings& settings, const std::string& logPath);
  // Stops it with SIGTERM when it still runs.
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Sends `signal` and waits for the process to end.
  void Kill(int signal);
  // Sends `signal` and waits up to `seconds` for the process to end: its exit code, or -1
  // when it was still running (it is then killed).
  int StopWithin(int signal, double seconds);

 private:
  pid_t pid_ = -1;
};

// Runs a program with settings in its environment and `input` on its standard input;
// its exit code and standard output.
std::pair<int, std::string> RunTool(const std::vector<std::string>& argv, const Settings& settings,
                                    const std::string& input = "");
