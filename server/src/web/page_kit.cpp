#include "web/page_kit.h"

#include "web/page_security.h"

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

}  // namespace

PageKit::PageKit(PageServices& services)
    : services_(services),
      secure_(services.config.publicUrl.starts_with("https://")),
      origin_(OriginOf(services.config.publicUrl)) {}

std::string PageKit::SessionCookie() const { return secure_ ? "__Host-session" : "session"; }
std::string PageKit::CsrfCookie() const { return secure_ ? "__Host-csrf" : "csrf"; }

Visitor PageKit::Visit(const WebRequest& request, bool session) {
  Visitor visitor;
  visitor.csrf = CookieValue(request.cookie, CsrfCookie());
  if (visitor.csrf.size() != 43) {
    visitor.csrf = RandomToken();
    visitor.newCsrf = true;
  }
  const std::string id = CookieValue(request.cookie, SessionCookie());
  if (!id.empty() && id.size() <= 64) visitor.sessionHash = TokenHash(id);
  if (session && !visitor.sessionHash.empty()) {
    if (const auto accountId = services_.sessions.Use(visitor.sessionHash, Now(), kSessionLifetime)) {
      visitor.account = services_.accounts.FindById(*accountId);
    }
  }
  return visitor;
}

std::optional<WebForm> PageKit::PostedForm(const WebRequest& request, const Visitor& visitor) {
  if (visitor.newCsrf || !FromOwnPages(request, origin_)) return std::nullopt;
  auto form = WebForm::Read(request.body);
  if (!form || !SameToken((*form)["csrf"], visitor.csrf)) return std::nullopt;
  return form;
}

PageData PageKit::Frame(const std::string& title, const Visitor& visitor) const {
  PageData data;
  data.set("title", title);
  data.set("csrf", visitor.csrf);
  data.set("signedIn", visitor.account.has_value());
  data.set("signUpOpen", SignUpOpen());
  return data;
}

void PageKit::Finish(WebReply& reply, const Visitor& visitor, const WebRequest& request, bool privatePage) const {
  AddPageHeaders(reply, privatePage);
  if (visitor.newCsrf) reply.headers.emplace_back("Set-Cookie", CookieHeader(CsrfCookie(), visitor.csrf, -1, secure_));
  // The log shows a page by its path, a form by its method too ("POST:/signin").
  reply.log = WebLogFacts{request.method == "GET" ? request.path : request.method + ":" + request.path,
                          visitor.account ? visitor.account->email : "", reply.status, ""};
}

WebReply PageKit::Page(PageTemplate page, const PageData& data, const Visitor& visitor, const WebRequest& request,
                       int status, bool privatePage) const {
  WebReply reply{status, kHtml, {}, RenderPage(page, data), std::nullopt};
  Finish(reply, visitor, request, privatePage);
  return reply;
}

WebReply PageKit::Message(const std::string& title, const std::string& error, const std::string& notice,
                          const Visitor& visitor, const WebRequest& request, int status, const std::string& linkHref,
                          const std::string& linkText) const {
  PageData data = Frame(title, visitor);
  if (!error.empty()) data.set("error", error);
  if (!notice.empty()) data.set("notice", notice);
  if (!linkHref.empty()) {
    data.set("linkHref", linkHref);
    data.set("linkText", linkText);
  }
  return Page(PageTemplate::kMessage, data, visitor, request, status);
}

WebReply PageKit::Redirect(const std::string& location, const Visitor& visitor, const WebRequest& request) const {
  WebReply reply{303, kHtml, {{"Location", location}}, "", std::nullopt};
  Finish(reply, visitor, request, true);
  return reply;
}

WebReply PageKit::HttpsOnly(const Visitor& visitor, const WebRequest& request) const {
  return Message("请使用 HTTPS", "此页面涉及密码，只能通过加密连接（HTTPS）打开。", "", visitor, request, 403,
                 services_.config.publicUrl + request.path, "用 HTTPS 打开");
}

WebReply PageKit::StaleForm(const Visitor& visitor, const WebRequest& request) const {
  return Message("无法提交", "页面已过期或来自其他网站，请重新打开页面后再提交。", "", visitor, request, 403);
}

void PageKit::SignIn(WebReply& reply, Visitor& visitor, const Account& account) {
  if (!visitor.sessionHash.empty()) services_.sessions.End(visitor.sessionHash);
  const std::string id = RandomToken();
  services_.sessions.Create(TokenHash(id), account.id, Now());
  reply.headers.emplace_back("Set-Cookie", CookieHeader(SessionCookie(), id, -1, secure_));
  // A new form token too: one seen before the sign-in is worth nothing after it.
  visitor.csrf = RandomToken();
  reply.headers.emplace_back("Set-Cookie", CookieHeader(CsrfCookie(), visitor.csrf, -1, secure_));
}

void PageKit::SignOut(WebReply& reply, const Visitor& visitor) {
  if (!visitor.sessionHash.empty()) services_.sessions.End(visitor.sessionHash);
  reply.headers.emplace_back("Set-Cookie", CookieHeader(SessionCookie(), "", 0, secure_));
}
