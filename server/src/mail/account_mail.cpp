#include "mail/account_mail.h"

#include "mail/text_mail.h"

namespace {

struct MailText {
  const char* subject;
  const char* before;  // the lines before the link
  const char* after;   // the lines after it
};

MailText TextOf(AccountMailKind kind) {
  switch (kind) {
    case AccountMailKind::kConfirmSignUp:
      return {"请确认您的注册",
              "感谢您注册网站监控提醒服务。请在 24 小时内打开下面的链接确认邮箱，确认后账户即可使用：",
              "如果您没有注册，请忽略此邮件，不会有账户被创建。"};
    case AccountMailKind::kSignUpTaken:
      return {"有人尝试用您的邮箱注册",
              "有人刚才尝试用您的邮箱注册网站监控提醒服务，但这个邮箱已经有账户了。\r\n"
              "如果是您本人并且忘记了密码，可以在 1 小时内打开下面的链接重设密码：",
              "如果不是您本人的操作，请忽略此邮件，您的账户和密码都没有变化。"};
    case AccountMailKind::kInvitation:
      return {"邀请您使用网站监控提醒服务",
              "服务管理员为您开通了网站监控提醒服务。请在 7 天内打开下面的链接设置您的密码，账户即可使用：",
              "如果您不需要这个账户，请忽略此邮件。"};
    case AccountMailKind::kReset:
      break;
  }
  return {"重设密码",
          "我们收到了重设您账户密码的请求。请在 1 小时内打开下面的链接设置新密码（链接只能使用一次）：",
          "设置新密码后，所有已登录的电脑和网页都会退出登录。\r\n如果不是您本人的操作，请忽略此邮件，密码不会改变。"};
}

}  // namespace

std::string ComposeAccountMail(AccountMailKind kind, const std::string& sender, const std::string& recipient,
                               const std::string& link, int64_t time) {
  const MailText text = TextOf(kind);
  std::string body = "您好：\r\n\r\n";
  body += std::string(text.before) + "\r\n\r\n" + link + "\r\n\r\n" + text.after + "\r\n\r\n";
  body += "此邮件由网站监控提醒服务自动发送，请勿回复。\r\n";
  return ComposeTextMail(TextMail{sender, recipient, text.subject, body, time, NewMessageId(sender)});
}
