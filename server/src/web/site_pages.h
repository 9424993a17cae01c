// The service's own web pages for account owners: home and downloads, sign-up with a
// confirmation mail, invitations, sign-in and sign-out, forgotten passwords, and the
// account page. Each page is a route; the HTTP side only reads, limits and writes.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "api/attempt_throttle.h"
#include "web/downloads.h"
#include "web/link_mailer.h"
#include "web/page_kit.h"

// A new password: 8 to 128 characters.
bool IsNewPassword(const std::string& password);
// Whether `email` may sign up under the sign_up setting.
bool MaySignUp(const std::string& signUp, const std::string& email);

class SitePages {
 public:
  explicit SitePages(PageServices services);
  SitePages(const SitePages&) = delete;
  SitePages& operator=(const SitePages&) = delete;

  // The routes; they refer to this object, which must outlive them.
  std::vector<Route> Routes();

 private:
  // Pages, grouped by what they are about.
  void AddHome(std::vector<Route>& routes);
  void AddSignIn(std::vector<Route>& routes);
  void AddAccount(std::vector<Route>& routes);
  void AddChannels(std::vector<Route>& routes);
  void AddLinks(std::vector<Route>& routes);

  // Counts a mail the pages are about to send: false when the client has sent too many
  // lately (it is told), `quiet` set when the recipient has had too many (nothing is sent,
  // and the client is not told, so nobody learns anything about the address).
  bool CountMail(const std::string& client, const std::string& email, bool& quiet);
  void QueueLink(const LinkMail& link);
  // The POST of a mailed link: uses it up and does what it was for.
  WebReply UseLink(const std::string& purpose, const WebRequest& request);
  // The answer when the hashing threads have too much waiting.
  WebReply BusyPage(const WebRequest& request);
  // The start of a form that takes an address and a password: served only where passwords
  // may go, and posted by the pages themselves. The refusal, or nothing with `post` filled
  // in: the visitor, the form, and the page's values to show it again with the address.
  struct PasswordPost {
    Visitor visitor;
    WebForm form;
    PageData again;
  };
  std::optional<WebReply> ReadPasswordPost(const WebRequest& request, const char* title, PasswordPost& post);
  // The account page's reminder channels and their newest deliveries, into `data`.
  void ShowChannels(const Account& account, PageData& data);
  // Sends the test message through a channel of the signed-in owner and shows the reply.
  WebReply TestChannel(const WebRequest& request);

  // Now and then deletes sessions and links that can no longer be used.
  void ForgetStale();

  PageServices services_;
  PageKit kit_;
  DownloadShelf downloads_;
  AttemptThrottle mailsPerAddress_;
  AttemptThrottle mailsPerRecipient_;
  // Test messages: each waits seconds for a vendor, so an owner gets only a few a minute.
  AttemptThrottle testsPerAccount_;
  AttemptThrottle testsPerAddress_;
  std::atomic<int64_t> nextForget_{0};
};
