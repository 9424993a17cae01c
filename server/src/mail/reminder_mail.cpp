#include "mail/reminder_mail.h"

#include "mail/text_mail.h"
#include "text/status_text.h"

namespace {

std::string WithoutControls(std::string text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return text;
}

}  // namespace

std::string ComposeReminderMail(const ReminderFacts& facts) {
  const bool failing = facts.templateId == 1;
  const std::string site = WithoutControls(facts.site);
  const std::string what = failing ? "网站访问异常" : "网站已恢复正常";
  const std::string code = std::to_string(facts.statusCode) + "（" + std::string(StatusText(facts.statusCode)) + "）";
  const std::string when = FormatUnixTime(facts.time, "%Y-%m-%d %H:%M:%S (UTC%z)", true);

  std::string body = "您好：\r\n\r\n";
  body += failing ? "您监控的网站访问异常，请尽快检查。\r\n\r\n" : "您监控的网站已恢复正常访问。\r\n\r\n";
  body += "网站：" + site + "\r\n";
  body += "情况：" + what + "\r\n";
  body += "状态码：" + code + "\r\n";
  body += "时间：" + when + "\r\n\r\n";
  body += "此邮件由网站监控提醒服务自动发送，请勿回复。\r\n";

  return ComposeTextMail(TextMail{facts.sender, facts.recipient,
                                  "【" + what + "】状态码 " + std::to_string(facts.statusCode), body, facts.time,
                                  facts.messageId});
}

std::string ComposeServiceMail(const std::string& recipient, const std::string& sender, const std::string& subject,
                               const std::string& body, int64_t time, const std::string& messageId) {
  return ComposeTextMail(TextMail{sender, recipient, subject, body, time, messageId});
}
