// A real SMTP server on 127.0.0.1 for tests: aiosmtpd writing every mail it accepts into
// a maildir. With a hold file, each mail is stored at once but accepted only when the
// file does not exist (the sender waits meanwhile).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class SmtpSink {
 public:
  // Starts the server on `port` and waits until it accepts connections.
  SmtpSink(int port, const std::string& mailDir, const std::string& holdFile = "");
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  bool Running() const { return pid_ > 0; }
  // Every mail received so far, as stored, oldest first.
  std::vector<std::string> RawMails() const;
  // The same as a mail reader shows them: the header lines, a blank line and the body with
  // its transfer encoding undone.
  std::vector<std::string> Mails() const;
  // Waits until at least `count` mails have arrived; false after `seconds`.
  bool WaitForMails(size_t count, double seconds) const;

 private:
  pid_t pid_ = -1;
  std::string mailDir_;
};
