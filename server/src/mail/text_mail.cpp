#include "mail/text_mail.h"

#include <sodium.h>

#include <algorithm>
#include <ctime>

#include "text/base64_text.h"

namespace {

// A header value in UTF-8 that stays ASCII on the wire: encoded words of at most 39 bytes
// of text each (64 characters, within the 75 an encoded word may have), split between
// characters and folded onto lines of their own.
std::string EncodedWords(const std::string& text) {
  constexpr size_t kChunk = 39;
  std::string out;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(start + kChunk, text.size());
    while (end < text.size() && end > start + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + Base64(std::string_view(text).substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

// Base64 in lines of 76 characters: any text, however long its lines, goes out in short
// ASCII lines.
std::string Base64Lines(const std::string& bytes) {
  const std::string encoded = Base64(bytes);
  std::string out;
  for (size_t i = 0; i < encoded.size(); i += 76) out += encoded.substr(i, 76) + "\r\n";
  return out;
}

}  // namespace

std::string FormatUnixTime(int64_t time, const char* pattern, bool local) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm parts{};
  if (local) {
    localtime_r(&t, &parts);
  } else {
    gmtime_r(&t, &parts);
  }
  char out[96] = {};
  std::strftime(out, sizeof out, pattern, &parts);
  return out;
}

std::string NewMessageId(const std::string& sender) {
  unsigned char random[16];
  randombytes_buf(random, sizeof random);
  char hex[sizeof random * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, random, sizeof random);
  const size_t at = sender.find('@');
  return std::string(hex) + "@" + (at == std::string::npos ? "localhost" : sender.substr(at + 1));
}

std::string ComposeTextMail(const TextMail& mail) {
  std::string message;
  message += "Date: " + FormatUnixTime(mail.time, "%a, %d %b %Y %H:%M:%S +0000", false) + "\r\n";
  message += "From: " + mail.sender + "\r\n";
  message += "To: " + mail.recipient + "\r\n";
  message += "Message-ID: <" + mail.messageId + ">\r\n";
  message += "Subject: " + EncodedWords(mail.subject) + "\r\n";
  message += "MIME-Version: 1.0\r\n";
  message += "Content-Type: text/plain; charset=UTF-8\r\n";
  message += "Content-Transfer-Encoding: base64\r\n";
  message += "\r\n";
  message += Base64Lines(mail.body);
  return message;
}
