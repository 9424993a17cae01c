#include "web/site_pages.h"

#include <algorithm>
#include <cctype>

#include "api/gbk_text.h"
#include "api/account_address.h"
#include "config/ip_address.h"
#include "web/page_security.h"

namespace {

constexpr int64_t kMailWindowSeconds = 15 * 60;
constexpr size_t kTestsPerAccount = 5;
constexpr size_t kTestsPerAddress = 10;
constexpr int64_t kTestWindowSeconds = 60;

std::string SizeText(uint64_t bytes) {
  char text[32];
  if (bytes >= (1u << 20)) {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
  } else {
    std::snprintf(text, sizeof text, "%.0f KB", static_cast<double>(bytes + 1023) / 1024);
  }
  return text;
}

}  // namespace

bool IsNewPassword(const std::string& password) {
  const size_t length = Utf8Length(password);
  return length >= 8 && length <= 128;
}

bool MaySignUp(const std::string& signUp, const std::string& email) {
  if (signUp == "open") return true;
  const auto domains = SignUpDomains(signUp);
  std::string domain = email.substr(email.find('@') + 1);
  for (char& c : domain) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(domains.begin(), domains.end(), domain) != domains.end();
}

SitePages::SitePages(PageServices services)
    : services_(std::move(services)),
      kit_(services_),
      downloads_(services_.config.downloadsDir),
      mailsPerAddress_(services_.db, "web-mail-client", static_cast<size_t>(services_.config.webMailsPerAddress),
                       kMailWindowSeconds),
      mailsPerRecipient_(services_.db, "web-mail-to", static_cast<size_t>(services_.config.webMailsPerRecipient),
                         kMailWindowSeconds),
      testsPerAccount_(services_.db, "web-test-account", kTestsPerAccount, kTestWindowSeconds),
      testsPerAddress_(services_.db, "web-test-client", kTestsPerAddress, kTestWindowSeconds) {}

std::vector<Route> SitePages::Routes() {
  std::vector<Route> routes;
  AddHome(routes);
  AddSignIn(routes);
  AddAccount(routes);
  AddChannels(routes);
  AddLinks(routes);
  // A page the database could not serve in time, or whose threads have too much waiting,
  // is answered with the busy page.
  for (Route& route : routes) {
    if (!route.busy) route.busy = [this](const WebRequest& request) { return BusyPage(request); };
  }
  return routes;
}

bool SitePages::CountMail(const std::string& client, const std::string& email, bool& quiet) {
  const int64_t now = kit_.Now();
  // One IPv6 client holds a whole /64: counted as one, as the sign-in limits count it.
  if (!mailsPerAddress_.TryCount(AddressForLimits(client), now)) return false;
  std::string key = email;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  quiet = !mailsPerRecipient_.TryCount(key, now);
  return true;
}

void SitePages::ForgetStale() {
  const int64_t now = kit_.Now();
  int64_t due = nextForget_.load();
  if (now < due || !nextForget_.compare_exchange_strong(due, now + 3600)) return;  // one request an hour does it
  services_.sessions.ForgetStale(now, kSessionLifetime);
  services_.tokens.ForgetExpired(now - 86400);
}

void SitePages::QueueLink(const LinkMail& link) {
  MailLink(services_.tokens, services_.mails, services_.config.publicUrl, services_.config.smtp.sender, link,
           kit_.Now());
  if (services_.mailQueued) services_.mailQueued();
}

void SitePages::AddHome(std::vector<Route>& routes) {
  routes.push_back(Route{"GET", "/",
                         [this](const WebRequest& request) {
                           Visitor visitor;  // the home page is the same for everyone: no cookie, no session
                           PageData data = kit_.Frame("网站监控提醒服务", visitor);
                           PageData list{PageData::type::list};
                           const auto downloads = downloads_.List();
                           for (const Download& d : downloads) {
                             PageData row;
                             row.set("name", d.name);
                             row.set("version", d.version.empty() ? "-" : d.version);
                             row.set("size", SizeText(d.size));
                             row.set("sha256", d.sha256);
                             list.push_back(row);
                           }
                           data.set("hasDownloads", !downloads.empty());
                           data.set("downloads", list);
                           WebReply reply = kit_.Page(PageTemplate::kHome, data, visitor, request, 200, false);
                           reply.log.reset();
                           return reply;
                         },
                         nullptr, nullptr});
  routes.push_back(Route{"GET", "/style.css",
                         [](const WebRequest&) {
                           WebReply reply{200, "text/css; charset=utf-8", {}, Stylesheet(), std::nullopt};
                           reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
                           reply.headers.emplace_back("Cache-Control", "max-age=3600");
                           return reply;
                         },
                         nullptr, nullptr, false, RouteRuns::kInline});  // from memory: no thread hand-over
  routes.push_back(Route{"GET", "/downloads/",
                         [this](const WebRequest& request) {
                           const std::string name = request.path.substr(std::string("/downloads/").size());
                           auto content = downloads_.Read(name);
                           if (!content) {
                             return kit_.Message("找不到文件", "没有这个下载文件。", "", Visitor{}, request, 404, "/",
                                                 "返回首页");
                           }
                           WebReply reply{200, "application/octet-stream", {}, std::move(*content), std::nullopt};
                           reply.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + name + "\"");
                           reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
                           return reply;
                         },
                         nullptr, nullptr, true});
}
