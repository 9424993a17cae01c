#include "web/link_mailer.h"

#include <climits>

#include "web/page_security.h"

namespace {

struct LinkKind {
  const char* purpose;
  const char* path;
  int64_t seconds;
};

LinkKind KindOf(AccountMailKind kind) {
  switch (kind) {
    case AccountMailKind::kConfirmSignUp:
      return {"signup", "/confirm", kSignUpLinkSeconds};
    case AccountMailKind::kInvitation:
      return {"invite", "/invite", kInvitationLinkSeconds};
    case AccountMailKind::kSignUpTaken:
    case AccountMailKind::kReset:
      break;
  }
  return {"reset", "/reset", kResetLinkSeconds};
}

}  // namespace

int64_t MailLink(WebTokenStore& tokens, MailStore& mails, const std::string& publicUrl, const std::string& sender,
                 const LinkMail& link, int64_t now) {
  const LinkKind kind = KindOf(link.kind);
  const std::string token = RandomToken();
  tokens.Add(TokenHash(token), WebToken{kind.purpose, link.email, link.passwordHash, link.serviceDays, now + kind.seconds});
  const std::string message =
      ComposeAccountMail(link.kind, sender, link.email, publicUrl + kind.path + "?t=" + token, now);
  // Not an account's reminder: account 0, outside the reminders' hourly limit (the pages
  // keep limits of their own).
  return mails.Enqueue(0, link.email, message, now, INT_MAX).value_or(0);
}
