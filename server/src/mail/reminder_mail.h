// The reminder mail the service sends for the program: Simplified Chinese, UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "mail/text_mail.h"  // NewMessageId

struct ReminderFacts {
  std::string recipient;  // the account's address
  std::string sender;     // the From address
  int templateId = 1;     // 1 = the site is failing, 2 = it is back up
  int statusCode = 0;     // as the program reported it
  std::string site;       // the address the program watches, UTF-8
  int64_t time = 0;       // when the program reported it, Unix seconds
  std::string messageId;  // unique, without angle brackets
};

// The whole message, headers and body, lines ending in CRLF and none longer than 78
// octets: the UTF-8 body goes out in Base64, the subject as encoded words. The site address
// is shown in the body only (control characters replaced), so nothing the program sends
// can add a header, and a long address cannot make a line the mail server refuses.
std::string ComposeReminderMail(const ReminderFacts& facts);

// Any other mail of the service's to an owner, in the same form: a UTF-8 subject and body
// (lines ending in CRLF) from `sender` to `recipient`, dated `time`.
std::string ComposeServiceMail(const std::string& recipient, const std::string& sender, const std::string& subject,
                               const std::string& body, int64_t time, const std::string& messageId);
