#include "mail/reminder_mail.h"

#include <ctime>

#include "api/base64_text.h"
#include "api/status_text.h"

namespace {

// A header value in UTF-8 that stays ASCII on the wire.
std::string EncodedWord(const std::string& text) { return "=?UTF-8?B?" + Base64(text) + "?="; }

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
  message += "Subject: " + EncodedWord("【" + what + "】状态码 " + std::to_string(facts.statusCode)) + "\r\n";
  message += "MIME-Version: 1.0\r\n";
  message += "Content-Type: text/plain; charset=UTF-8\r\n";
  message += "Content-Transfer-Encoding: 8bit\r\n";
  message += "\r\n";
  message += body;
  return message;
}
