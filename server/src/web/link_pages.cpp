// Sign-up and its confirmation, invitations, and forgotten passwords: the pages that mail
// a single-use link, and the pages the links open.
#include "api/account_address.h"
#include "api/password_hash.h"
#include "web/page_security.h"
#include "web/site_pages.h"

namespace {

bool AlwaysHashes(const WebRequest&) { return true; }

// The token of a link ("?t=..."); "" when missing or not one of ours.
std::string LinkToken(const std::string& text) {
  return text.size() == 43 && IsDownloadName(text) ? text : "";
}

std::string TokenIn(const WebRequest& request) {
  const auto query = WebForm::Read(request.query);
  return query ? LinkToken((*query)["t"]) : "";
}

const char* LinkProblem(TokenState state) {
  switch (state) {
    case TokenState::kUsed:
      return "这个链接已经使用过了，每个链接只能使用一次。";
    case TokenState::kExpired:
      return "这个链接已过期，请重新申请。";
    default:
      return "这个链接无效，请检查邮件中的链接是否完整。";
  }
}

}  // namespace

// The pages a mailed link opens: a GET shows the form (it changes nothing, so a mail
// scanner that follows links uses none up), and the POST uses the link.
struct LinkPage {
  const char* purpose;
  const char* path;
  const char* title;
  PageTemplate form;
};

constexpr LinkPage kLinkPages[] = {
    {"signup", "/confirm", "确认注册", PageTemplate::kConfirm},
    {"invite", "/invite", "设置密码", PageTemplate::kSetPassword},
    {"reset", "/reset", "重设密码", PageTemplate::kSetPassword},
};

WebReply SitePages::BusyPage(const WebRequest& request) {
  return kit_.Message("服务器繁忙", "服务器繁忙，请稍后再试", "", Visitor{}, request, 503);
}

void SitePages::AddLinks(std::vector<Route>& routes) {
  const auto busy = [this](const WebRequest& request) { return BusyPage(request); };

  routes.push_back(Route{"GET", "/signup",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, false);
                           if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
                           if (!kit_.SignUpOpen()) {
                             return kit_.Message("注册", "本服务暂不开放注册，账户由服务管理员开通。", "", visitor,
                                                 request);
                           }
                           PageData data = kit_.Frame("注册", visitor);
                           data.set("signUpDays", std::to_string(services_.config.signUpDays));
                           return kit_.Page(PageTemplate::kSignUp, data, visitor, request);
                         },
                         nullptr, nullptr});
  routes.push_back(Route{
      "POST", "/signup",
      [this](const WebRequest& request) {
        PasswordPost post;
        if (auto refused = ReadPasswordPost(request, "注册", post)) return std::move(*refused);
        const Visitor& visitor = post.visitor;
        PageData& again = post.again;
        const std::string& email = post.form["email"];
        const std::string& password = post.form["password"];
        again.set("signUpDays", std::to_string(services_.config.signUpDays));
        if (!kit_.SignUpOpen()) {
          return kit_.Message("注册", "本服务暂不开放注册，账户由服务管理员开通。", "", visitor, request, 403);
        }
        if (!IsPlainAddress(email)) {
          again.set("error", "请填写正确的邮箱地址。");
          return kit_.Page(PageTemplate::kSignUp, again, visitor, request);
        }
        if (!MaySignUp(services_.config.signUp, email)) {
          again.set("error", "本服务只接受指定单位邮箱的注册。");
          return kit_.Page(PageTemplate::kSignUp, again, visitor, request);
        }
        if (!IsNewPassword(password)) {
          again.set("error", "密码需要 8 到 128 个字符。");
          return kit_.Page(PageTemplate::kSignUp, again, visitor, request);
        }
        bool quiet = false;
        if (!CountMail(request.client, email, quiet)) {
          again.set("error", "操作过于频繁，请稍后再试。");
          return kit_.Page(PageTemplate::kSignUp, again, visitor, request, 429);
        }
        // The same work whether or not the address has an account: the hash, a token, a
        // mail. Only the mail's words differ, and only its recipient reads them.
        const auto hash = HashPassword(password);
        if (!hash) throw std::runtime_error("cannot hash a password");
        if (!quiet) {
          const bool taken = services_.accounts.Find(email).has_value();
          QueueLink(taken ? LinkMail{AccountMailKind::kSignUpTaken, email, "", 0}
                          : LinkMail{AccountMailKind::kConfirmSignUp, email, *hash, services_.config.signUpDays});
        }
        return kit_.Message("请查收邮件", "",
                            "确认邮件已发往 " + email + "，请在 24 小时内打开邮件中的链接完成注册。", visitor,
                            request);
      },
      AlwaysHashes, busy});

  routes.push_back(Route{"GET", "/forgot",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, false);
                           return kit_.Page(PageTemplate::kForgot, kit_.Frame("忘记密码", visitor), visitor, request);
                         },
                         nullptr, nullptr});
  routes.push_back(Route{"POST", "/forgot",
                         [this](const WebRequest& request) {
                           Visitor visitor = kit_.Visit(request, false);
                           const auto form = kit_.PostedForm(request, visitor);
                           if (!form) return kit_.StaleForm(visitor, request);
                           const std::string& email = (*form)["email"];
                           PageData again = kit_.Frame("忘记密码", visitor);
                           again.set("email", email);
                           if (!IsPlainAddress(email)) {
                             again.set("error", "请填写正确的邮箱地址。");
                             return kit_.Page(PageTemplate::kForgot, again, visitor, request);
                           }
                           bool quiet = false;
                           if (!CountMail(request.client, email, quiet)) {
                             again.set("error", "操作过于频繁，请稍后再试。");
                             return kit_.Page(PageTemplate::kForgot, again, visitor, request, 429);
                           }
                           const auto account = services_.accounts.Find(email);
                           if (!quiet && account && account->enabled) {
                             QueueLink(LinkMail{AccountMailKind::kReset, account->email, "", 0});
                           }
                           return kit_.Message("请查收邮件", "",
                                               "如果 " + email +
                                                   " 有账户，重设密码的邮件已经发出，链接 1 小时内有效。",
                                               visitor, request);
                         },
                         nullptr, nullptr});

  for (const LinkPage& link : kLinkPages) {
    routes.push_back(Route{"GET", link.path,
                           [this, &link](const WebRequest& request) {
                             Visitor visitor = kit_.Visit(request, false);
                             if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
                             const std::string token = TokenIn(request);
                             const auto [state, email] = token.empty()
                                                             ? std::pair{TokenState::kUnknown, std::string()}
                                                             : services_.tokens.Check(TokenHash(token), link.purpose,
                                                                                      kit_.Now());
                             if (state != TokenState::kUsable) {
                               return kit_.Message(link.title, LinkProblem(state), "", visitor, request, 410);
                             }
                             PageData data = kit_.Frame(link.title, visitor);
                             data.set("token", token);
                             data.set("email", email);
                             data.set("action", link.path);
                             return kit_.Page(link.form, data, visitor, request);
                           },
                           nullptr, nullptr});
    routes.push_back(Route{"POST", link.path,
                           [this, &link](const WebRequest& request) { return UseLink(link.purpose, request); },
                           AlwaysHashes, busy});
  }
}

WebReply SitePages::UseLink(const std::string& purpose, const WebRequest& request) {
  const LinkPage& link = *std::find_if(std::begin(kLinkPages), std::end(kLinkPages),
                                       [&](const LinkPage& page) { return page.purpose == purpose; });
  Visitor visitor = kit_.Visit(request, false);
  if (!ServesPasswords(request)) return kit_.HttpsOnly(visitor, request);
  const auto form = kit_.PostedForm(request, visitor);
  if (!form) return kit_.StaleForm(visitor, request);
  const std::string token = LinkToken((*form)["t"]);
  const std::string& password = (*form)["password"];
  const bool setsPassword = purpose != "signup";
  // A short password is refused before the link is used up.
  if (setsPassword && !IsNewPassword(password)) {
    return kit_.Message(link.title, "新密码需要 8 到 128 个字符，请返回重新填写。", "", visitor, request);
  }
  const int64_t now = kit_.Now();
  const auto taken = token.empty() ? std::nullopt : services_.tokens.Take(TokenHash(token), purpose, now);
  if (!taken) {
    const auto state = token.empty() ? TokenState::kUnknown : services_.tokens.Check(TokenHash(token), purpose, now).first;
    return kit_.Message(link.title, LinkProblem(state), "", visitor, request, 410);
  }
  std::string hash = taken->passwordHash;
  if (setsPassword) {
    const auto made = HashPassword(password);
    if (!made) throw std::runtime_error("cannot hash a password");
    hash = *made;
  }
  if (purpose == "reset") {
    const auto account = services_.accounts.Find(taken->email);
    const auto machines = services_.accounts.SetPassword(taken->email, hash);
    if (!account || !machines) return kit_.Message(link.title, "这个账户已不存在。", "", visitor, request, 410);
    // As the operator's passwd: the guesses counted against the account end with the old password.
    AccountApi::ClearAccountWideFailures(services_.db, taken->email);
    services_.api.ForgetSignedInMachines(account->id);
    services_.sessions.EndAll(account->id);
    visitor.account.reset();
    WebReply reply = kit_.Message(link.title, "",
                                  "新密码已设置。已退出 " + std::to_string(*machines) +
                                      " 台电脑，所有网页登录也已结束，请用新密码重新登录。",
                                  visitor, request, 200, "/signin", "登录");
    kit_.SignOut(reply, visitor);
    return reply;
  }
  if (!services_.accounts.Add(taken->email, hash, now, now + int64_t{taken->serviceDays} * 86400)) {
    return kit_.Message(link.title, "这个邮箱已经有账户了，请直接登录；忘记密码可以重设。", "", visitor, request, 200,
                        "/signin", "登录");
  }
  return kit_.Message(link.title, "", "账户已开通，现在可以用这个邮箱和密码登录网页和程序。", visitor, request, 200,
                      "/signin", "登录");
}
