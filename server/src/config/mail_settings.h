// The settings of reminder mail: the SMTP server that takes the mails, and when a mail that
// could not be delivered is tried again. The settings file fills them; mail/ uses them.
#pragma once

#include <cstdint>
#include <string>

struct SmtpSettings {
  std::string host = "127.0.0.1";
  int port = 25;
  std::string security = "none";  // "none", "starttls" (required) or "tls" (implicit, port 465)
  std::string user;               // login only when set
  std::string password;
  std::string sender = "monitor@localhost";
  long timeoutSeconds = 30;
};

struct RetrySchedule {
  int64_t firstDelaySeconds = 30;  // after the first failed attempt
  int64_t maxDelaySeconds = 3600;  // the delay doubles up to this
  int maxAttempts = 30;            // about a day of retries with the defaults
};
