// A plain-text mail in Simplified Chinese as the service sends it: UTF-8, lines ending in
// CRLF and none longer than 78 octets (the body goes out in Base64, the subject as encoded
// words), so no text of any length or content can add a header or make a line the mail
// server refuses.
#pragma once

#include <cstdint>
#include <string>

struct TextMail {
  std::string sender;     // the From address
  std::string recipient;  // the To address
  std::string subject;    // UTF-8
  std::string body;       // UTF-8, lines ending in CRLF
  int64_t time = 0;       // the Date, Unix seconds
  std::string messageId;  // unique, without angle brackets
};

// The whole message, headers and body.
std::string ComposeTextMail(const TextMail& mail);

// `time` written by strftime's `pattern`, in the service's local time or in UTC.
std::string FormatUnixTime(int64_t time, const char* pattern, bool local);

// A new Message-ID for a mail from `sender`: random, at the sender's domain.
std::string NewMessageId(const std::string& sender);
