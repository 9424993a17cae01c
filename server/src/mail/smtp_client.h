// Hands one message to an SMTP server through libcurl.
#pragma once

#include <string>

#include "config/mail_settings.h"

// Empty on success (the server accepted the message), else what went wrong.
std::string SendMail(const SmtpSettings& smtp, const std::string& recipient, const std::string& message);
