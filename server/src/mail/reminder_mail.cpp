#include "mail/reminder_mail.h"

#include <algorithm>
#include <ctime>

#include "text/base64_text.h"
#include "text/status_text.h"

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

std::string WithoutControls(std::string text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return text;
}

std::string Format(int64_t time, const char* pattern, bool local) {
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

}  // namespace

std::string ComposeReminderMail(const ReminderFacts& facts) {
  const bool failing = facts.templateId == 1;
  const std::string site = WithoutControls(facts.site);
  const std::string what = failing ? "网站访问异常" : "网站已恢复正常";
  const std::string code = std::to_string(facts.statusCode) + "（" + std::string(StatusText(facts.statusCode)) + "）";
  const std::string when = Format(facts.time, "%Y-%m-%d %H:%M:%S (UTC%z)", true);

  std::string body = "您好：\r\n\r\n";
  body += failing ? "您监控的网站访问异常，请尽快检查。\r\n\r\n" : "您监控的网站已恢复正常访问。\r\n\r\n";
  body += "网站：" + site + "\r\n";
  body += "情况：" + what + "\r\n";
  body += "状态码：" + code + "\r\n";
  body += "时间：" + when + "\r\n\r\n";
  body += "此邮件由网站监控提醒服务自动发送，请勿回复。\r\n";

  std::string message;
  message += "Date: " + Format(facts.time, "%a, %d %b %Y %H:%M:%S +0000", false) + "\r\n";
  message += "From: " + facts.sender + "\r\n";
  message += "To: " + facts.recipient + "\r\n";
  message += "Message-ID: <" + facts.messageId + ">\r\n";
  message += "Subject: " + EncodedWords("【" + what + "】状态码 " + std::to_string(facts.statusCode)) + "\r\n";
  message += "MIME-Version: 1.0\r\n";
  message += "Content-Type: text/plain; charset=UTF-8\r\n";
  message += "Content-Transfer-Encoding: base64\r\n";
  message += "\r\n";
  message += Base64Lines(body);
  return message;
}
