#include "smtp_sink.h"

#include <signal.h>
#include <sodium.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "test_folder.h"

SmtpSink::SmtpSink(int port, const std::string& mailDir, const std::string& holdFile) : mailDir_(mailDir) {
  // Debian's python3-aiosmtpd lives with the system interpreter.
  const char* python = std::getenv("TARN_PYTHON") ? std::getenv("TARN_PYTHON") : "/usr/bin/python3";
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  pid_ = fork();
  if (pid_ == 0) {
    if (holdFile.empty()) {
      execl(python, python, "-m", "aiosmtpd", "-n", "-l", listen.c_str(), "-c", "aiosmtpd.handlers.Mailbox",
            mailDir.c_str(), static_cast<char*>(nullptr));
    } else {
      setenv("PYTHONPATH", TESTS_SOURCE_DIR, 1);
      execl(python, python, "-m", "aiosmtpd", "-n", "-l", listen.c_str(), "-c", "held_mailbox.HeldMailbox",
            mailDir.c_str(), holdFile.c_str(), static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  if (!WaitForPort(port, 20)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

SmtpSink::~SmtpSink() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

std::vector<std::string> SmtpSink::RawMails() const {
  std::vector<std::pair<std::filesystem::file_time_type, std::string>> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(mailDir_ + "/new", ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(entry.last_write_time(),
                       std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> mails;
  for (auto& file : files) mails.push_back(std::move(file.second));
  return mails;
}

std::vector<std::string> SmtpSink::Mails() const {
  std::vector<std::string> mails;
  for (const std::string& raw : RawMails()) {
    const size_t blank = raw.find("\n\n");
    if (blank == std::string::npos || raw.find("Content-Transfer-Encoding: base64") > blank) {
      mails.push_back(raw);
      continue;
    }
    const std::string encoded = raw.substr(blank + 2);
    std::string body(encoded.size(), '\0');
    size_t length = 0;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(body.data()), body.size(), encoded.data(), encoded.size(),
                          "\r\n", &length, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
      length = 0;
    }
    body.resize(length);
    mails.push_back(raw.substr(0, blank + 2) + body);
  }
  return mails;
}

bool SmtpSink::WaitForMails(size_t count, double seconds) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (RawMails().size() < count) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}
