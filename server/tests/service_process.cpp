#include "service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "test_folder.h"

namespace {

void ApplySettings(const Settings& settings) {
  for (const auto& [name, value] : settings) setenv(name.c_str(), value.c_str(), 1);
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

ServiceProcess::ServiceProcess(const std::string& binary, int port, const Settings& settings,
                               const std::string& logPath) {
  pid_ = fork();
  if (pid_ == 0) {
    ApplySettings(settings);
    setenv("TARN_PORT", std::to_string(port).c_str(), 1);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(log, STDERR_FILENO);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (!WaitForPort(port, 20)) Kill(SIGKILL);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) Kill(SIGTERM);
}

void ServiceProcess::Kill(int signal) {
  if (pid_ <= 0) return;
  kill(pid_, signal);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int ServiceProcess::StopWithin(int signal, double seconds) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      Kill(SIGKILL);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<int, std::string> RunTool(const std::vector<std::string>& args, const Settings& settings,
                                    const std::string& input) {
  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return {-1, ""};
  const pid_t pid = fork();
  if (pid == 0) {
    ApplySettings(settings);
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    close(toChild[1]);
    close(fromChild[0]);
    execv(args[0].c_str(), Argv(args).data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  if (!input.empty() && write(toChild[1], input.data(), input.size()) < 0) input.size();
  close(toChild[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(fromChild[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<size_t>(n));
  close(fromChild[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
