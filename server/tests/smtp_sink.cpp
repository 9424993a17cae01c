#include "smtp_sink.h"

#include <sodium.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "test_folder.h"

namespace {

// Debian's python3-aiosmtpd lives with the system interpreter.
std::string Python() { return std::getenv("TARN_PYTHON") ? std::getenv("TARN_PYTHON") : "/usr/bin/python3"; }

}  // namespace

SmtpSink::SmtpSink(int port, const std::string& mailDir)
    : mailDir_(mailDir),
      server_({Python(), "-m", "aiosmtpd", "-n", "-l", "127.0.0.1:" + std::to_string(port), "-c",
               "held_mailbox.HeldMailbox", mailDir, HoldFile()},
              port, {{"PYTHONPATH", TESTS_SOURCE_DIR}}) {}

std::vector<std::string> SmtpSink::RawMails() const {
  std::vector<std::pair<std::filesystem::file_time_type, std::string>> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(mailDir_ + "/new", ec)) {
    files.emplace_back(entry.last_write_time(), FileText(entry.path()));
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> mails;
  for (auto& file : files) mails.push_back(std::move(file.second));
  return mails;
}

std::string SmtpSink::Readable(const std::string& raw) {
  const size_t blank = raw.find("\n\n");
  if (blank == std::string::npos || raw.find("Content-Transfer-Encoding: base64") > blank) return raw;
  const std::string encoded = raw.substr(blank + 2);
  std::string body(encoded.size(), '\0');
  size_t length = 0;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(body.data()), body.size(), encoded.data(), encoded.size(),
                        "\r\n", &length, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
    length = 0;
  }
  body.resize(length);
  return raw.substr(0, blank + 2) + body;
}

std::vector<std::string> SmtpSink::Mails() const {
  std::vector<std::string> mails;
  for (const std::string& raw : RawMails()) mails.push_back(Readable(raw));
  return mails;
}

bool SmtpSink::WaitForMails(size_t count, double seconds) const {
  return WaitUntil([&] { return RawMails().size() >= count; }, seconds);
}
