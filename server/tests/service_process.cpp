#include "service_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "raw_http.h"
#include "test_folder.h"

pid_t Spawn(const std::vector<std::string>& args, const Settings& settings, int in, int out, int err) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const auto& [name, value] : settings) setenv(name.c_str(), value.c_str(), 1);
  const int fds[] = {in, out, err};
  for (int i = 0; i < 3; ++i) {
    if (fds[i] >= 0) dup2(fds[i], i);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

ServiceProcess::ServiceProcess(const std::vector<std::string>& argv, int port, const Settings& settings,
                               const std::string& logPath) {
  const int log = logPath.empty() ? -1 : open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  pid_ = Spawn(argv, settings, -1, -1, log);
  if (log >= 0) close(log);
  const auto listening = [port] {
    const int fd = ConnectFrom(port);
    return fd >= 0 && close(fd) == 0;
  };
  if (!WaitUntil(listening, 20)) Kill(SIGKILL);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) Kill(SIGTERM);
}

bool ServiceProcess::Ended() {
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
  return pid_ <= 0;
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
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) != 0; }, seconds)) {
    Kill(SIGKILL);
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<int, std::string> RunTool(const std::vector<std::string>& args, const Settings& settings,
                                    const std::string& input) {
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return {-1, ""};
  const pid_t pid = Spawn(args, settings, toChild[0], fromChild[1], -1);
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
