// A real SMTP server on 127.0.0.1 for tests: aiosmtpd writing every mail it accepts into
// a maildir. Each mail is stored at once but accepted only while the hold file (beside the
// maildir) does not exist: a test that creates it makes the sender wait for the acceptance.
// A held mail whose client goes away before the acceptance is removed again.
#pragma once

#include <string>
#include <vector>

#include "service_process.h"

class SmtpSink {
 public:
  // Starts the server on `port` and waits until it accepts connections.
  SmtpSink(int port, const std::string& mailDir);

  bool Running() const { return server_.Running(); }
  // The end of each session is marked by a file named after it with ".quit" added; the
  // mails held so far are named, a file name in MailFolder() to a line, in a file named
  // after it with ".held" added.
  std::string HoldFile() const { return mailDir_ + ".hold"; }
  // The folder that holds each mail received, a file each.
  std::string MailFolder() const { return mailDir_ + "/new"; }
  // Every mail received so far, as stored, oldest first.
  std::vector<std::string> RawMails() const;
  // The same as a mail reader shows them: the header lines, a blank line and the body with
  // its transfer encoding undone.
  std::vector<std::string> Mails() const;
  // One stored mail as a mail reader shows it.
  static std::string Readable(const std::string& raw);
  // Waits until at least `count` mails have arrived; false after `seconds`.
  bool WaitForMails(size_t count, double seconds) const;

 private:
  std::string mailDir_;
  ServiceProcess server_;
};
