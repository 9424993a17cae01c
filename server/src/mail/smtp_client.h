// Hands one message to an SMTP server through libcurl.
#pragma once

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

// Empty on success (the server accepted the message), else what went wrong.
std::string SendMail(const SmtpSettings& smtp, const std::string& recipient, const std::string& message);
