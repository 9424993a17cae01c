// What every page handler shares: the services the pages use, who the visitor is (their
// CSRF token and session), the checks on a posted form, and the replies.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "api/account_api.h"
#include "channels/channel_sender.h"
#include "config/service_config.h"
#include "store/account_store.h"
#include "store/channel_store.h"
#include "store/database.h"
#include "store/mail_store.h"
#include "store/web_session_store.h"
#include "store/web_token_store.h"
#include "web/page_templates.h"
#include "web/web_exchange.h"
#include "web/web_form.h"

struct PageServices {
  const ServiceConfig& config;
  Database& db;
  AccountApi& api;  // the program's sign-in limits and counts
  AccountStore& accounts;
  MailStore& mails;
  WebSessionStore& sessions;
  WebTokenStore& tokens;
  std::function<int64_t()> clock;
  std::function<void()> mailQueued;
  ChannelStore& channels;
  VendorEndpoints endpoints;  // where the vendor kinds send
  ChannelSender::Post post;   // one exchange with a vendor, as the sender makes it
};

// Sessions end after an hour unused, and twelve hours after sign-in however busy.
inline constexpr SessionLifetime kSessionLifetime{3600, 12 * 3600};

struct Visitor {
  std::string csrf;         // the browser's form token
  bool newCsrf = false;     // made for this reply: the cookie goes with it
  std::string sessionHash;  // of the session cookie, "" without one
  std::optional<Account> account;  // signed in
};

class PageKit {
 public:
  explicit PageKit(PageServices& services);

  PageServices& services() { return services_; }
  const ServiceConfig& config() const { return services_.config; }
  int64_t Now() const { return services_.clock(); }

  // Reads the visitor's cookies; looks the session up only when `session` is true.
  Visitor Visit(const WebRequest& request, bool session);
  // A form that may be acted on: it came from the pages themselves with the visitor's
  // token. Nothing when the body is not a form or the check fails.
  std::optional<WebForm> PostedForm(const WebRequest& request, const Visitor& visitor);

  // The frame's values for a page titled `title`.
  PageData Frame(const std::string& title, const Visitor& visitor) const;
  // A rendered page. Pages that take a password or show an account are private.
  WebReply Page(PageTemplate page, const PageData& data, const Visitor& visitor, const WebRequest& request,
                int status = 200, bool privatePage = true) const;
  // A page with only a title, an error or a notice, and perhaps a link.
  WebReply Message(const std::string& title, const std::string& error, const std::string& notice,
                   const Visitor& visitor, const WebRequest& request, int status = 200,
                   const std::string& linkHref = "", const std::string& linkText = "") const;
  // 303 to `location` (a path of the pages).
  WebReply Redirect(const std::string& location, const Visitor& visitor, const WebRequest& request) const;
  // The refusal of a page that takes a password over plain HTTP from afar.
  WebReply HttpsOnly(const Visitor& visitor, const WebRequest& request) const;
  // The refusal of a form without its token or from another site.
  WebReply StaleForm(const Visitor& visitor, const WebRequest& request) const;

  // Starts a session for the account: a new id, whatever the browser had before.
  void SignIn(WebReply& reply, Visitor& visitor, const Account& account);
  void SignOut(WebReply& reply, const Visitor& visitor);

  std::string SessionCookie() const;
  std::string CsrfCookie() const;
  bool SecureCookies() const { return secure_; }
  bool SignUpOpen() const { return services_.config.signUp != "closed"; }

 private:
  void Finish(WebReply& reply, const Visitor& visitor, const WebRequest& request, bool privatePage) const;

  PageServices& services_;
  const bool secure_;          // public_url is HTTPS
  const std::string origin_;   // of public_url
};
