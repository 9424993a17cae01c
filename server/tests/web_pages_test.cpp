// The web pages' rules as plain functions, and hostile requests to the real service's
// pages over raw HTTP.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <string>
#include <vector>

#include "http/route_table.h"
#include "channel_receiver.h"
#include "service_fixture.h"
#include "store/sqlite_connection.h"
#include "web/channel_form.h"
#include "web/downloads.h"
#include "web/page_security.h"
#include "web/site_pages.h"
#include "web/web_form.h"

namespace {

// The number of the last channel the account page lists ("" when none).
std::string LastChannelId(const std::string& page) {
  const std::string mark = "id=\"channel-";
  const size_t at = page.rfind(mark);
  if (at == std::string::npos) return "";
  const size_t from = at + mark.size();
  return page.substr(from, page.find('"', from) - from);
}

TEST(WebRules, FormsAreReadStrictly) {
  struct Case {
    std::string text;
    bool valid;
    std::string email;  // the "email" field when valid
  };
  const std::vector<Case> cases = {
      {"email=a%40b.cn&x=1", true, "a@b.cn"},
      {"email=%E4%BD%A0+%E5%A5%BD", true, "\xE4\xBD\xA0 \xE5\xA5\xBD"},
      {"&&email=&", true, ""},
      {"email=%4", false, ""},              // cut escape
      {"email=%zz", false, ""},             // not hex
      {"email=%FF", false, ""},             // not UTF-8
      {"email=%C0%80", false, ""},          // overlong NUL
      {"email=%ED%A0%80", false, ""},       // surrogate
      {"email=%00", false, ""},             // control character
      {"email=a&email=b", false, ""},       // given twice
      {"a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11&l=12&m=13&n=14&o=15&p=16&q=17", false, ""},
  };
  for (const Case& c : cases) {
    const auto form = WebForm::Read(c.text);
    ASSERT_EQ(c.valid, form.has_value()) << c.text;
    if (form) {
      EXPECT_EQ(c.email, (*form)["email"]) << c.text;
    }
  }
}

TEST(WebRules, PasswordPagesOnlyOverHttpsOrToThisMachine) {
  struct Case {
    std::string peer;
    bool forwarded;
    std::string proto;  // as a trusted proxy reported it
    bool serves;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1", false, "", true},        {"::1", false, "", true},
      {"127.0.0.1", true, "", false},        {"192.0.2.7", false, "", false},
      {"127.0.0.1", true, "https", true},    {"192.0.2.7", true, "https", true},
      {"192.0.2.7", true, "http", false},    {"192.0.2.7", true, "http, https", true},
      {"192.0.2.7", true, "https, http", false},
  };
  for (const Case& c : cases) {
    WebRequest request;
    request.peer = c.peer;
    request.forwarded = c.forwarded;
    request.forwardedProto = c.proto;
    EXPECT_EQ(c.serves, ServesPasswords(request)) << c.peer << " " << c.proto;
  }
}

TEST(WebRules, OnlyThePagesOwnFormsAreTaken) {
  const std::string own = OriginOf("https://accounts.example.cn/base/");
  ASSERT_EQ("https://accounts.example.cn", own);
  struct Case {
    std::string origin, site;
    bool taken;
  };
  const std::vector<Case> cases = {
      {"https://accounts.example.cn", "same-origin", true}, {"https://accounts.example.cn", "", true},
      {"", "", true},  // an old browser: the token decides
      {"null", "same-origin", true},  // the pages' own form under no-referrer
      {"null", "cross-site", false},       {"null", "", false},
      {"https://evil.example", "", false}, {"https://evil.example", "cross-site", false},
      {"", "same-site", false},            {"https://accounts.example.cn", "cross-site", false},
  };
  for (const Case& c : cases) {
    WebRequest request;
    request.origin = c.origin;
    request.secFetchSite = c.site;
    EXPECT_EQ(c.taken, FromOwnPages(request, own)) << c.origin << " " << c.site;
  }
  EXPECT_EQ("v2", CookieValue("a=1; csrf=v2;session=s", "csrf"));
  EXPECT_EQ("", CookieValue("xcsrf=1; csrf2=2", "csrf"));
  EXPECT_FALSE(SameToken("", ""));
}

TEST(WebRules, SignUpDomainsAndDownloads) {
  EXPECT_TRUE(MaySignUp("open", "a@any.cn"));
  EXPECT_TRUE(MaySignUp("corp.cn, Example.ORG", "a@EXAMPLE.org"));
  EXPECT_FALSE(MaySignUp("corp.cn", "a@evil-corp.cn"));
  EXPECT_FALSE(MaySignUp("corp.cn", "a@corp.cn.evil.cn"));

  EXPECT_EQ("1.2.10", VersionInName("tarn-setup-1.2.10.exe"));
  EXPECT_EQ("", VersionInName("setup64.exe"));
  std::vector<Download> list = {{"a-1.2.9.exe", "1.2.9", 0, ""}, {"a-1.10.0.exe", "1.10.0", 0, ""}, {"readme.txt", "", 0, ""}};
  SortNewestFirst(list);
  EXPECT_EQ("a-1.10.0.exe", list[0].name);
  EXPECT_EQ("a-1.2.9.exe", list[1].name);
  for (const char* name : {"../x.exe", ".hidden", "a/b.exe", "a b.exe", ""}) EXPECT_FALSE(IsDownloadName(name)) << name;
}

TEST(WebRules, RoutesMatchMethodAndPath) {
  RouteTable routes;
  const auto named = [](const char* name) {
    return [name](const WebRequest&) { return WebReply{200, "text/plain", {}, name, std::nullopt}; };
  };
  routes.Add(Route{"GET", "/account", named("account"), nullptr, nullptr});
  routes.Add(Route{"POST", "/account", named("post"), nullptr, nullptr});
  routes.Add(Route{"GET", "/downloads/", named("file"), nullptr, nullptr, true});
  EXPECT_THROW(routes.Add(Route{"GET", "/account", named("again"), nullptr, nullptr}), std::logic_error);
  struct Case {
    const char* method;
    const char* path;
    const char* handler;  // nullptr: no route
  };
  for (const Case& c : {Case{"GET", "/account", "account"}, Case{"POST", "/account", "post"},
                        Case{"HEAD", "/account", nullptr}, Case{"GET", "/account/", nullptr},
                        Case{"GET", "/downloads/x.exe", "file"}, Case{"POST", "/downloads/x.exe", nullptr}}) {
    const Route* route = routes.Find(c.method, c.path);
    ASSERT_EQ(c.handler != nullptr, route != nullptr) << c.method << " " << c.path;
    if (route) {
      EXPECT_EQ(c.handler, route->handle(WebRequest{}).body);
    }
  }
}

TEST(WebRules, ChannelFormsAreReadStrictly) {
  struct Case {
    std::string form;
    std::string problem;  // "" when the channel is taken
    std::string target;   // as stored, when taken
  };
  const std::vector<Case> cases = {
      {"kind=feishu&target=+hook-id_1%09&secret=s3cret&events=up", "", "hook-id_1"},  // a paste's spaces go
      {"kind=slack&target=T1/B2/xyz&events=failing", "", "T1/B2/xyz"},
      {"kind=webhook&target=https://relay.test/in?a=1&events=both", "", "https://relay.test/in?a=1"},
      {"kind=wecom&target=key&secret=s&events=both", "没有签名密钥", ""},
      {"kind=dingtalk&target=t&secret=" + std::string(257, 's') + "&events=both", "最多 256 个字符", ""},
      {"kind=wecom&target=key&events=all", "在什么情况下", ""},
      {"kind=wecom&target=+&events=both", "请填写", ""},
      {"kind=webhook&target=https://a.test/%20x&events=both", "不能含空格", ""},
  };
  for (const Case& c : cases) {
    const auto form = WebForm::Read(c.form);
    ASSERT_TRUE(form) << c.form;
    const auto read = ReadNewChannel(*form);
    if (c.problem.empty()) {
      ASSERT_TRUE(std::holds_alternative<NewChannel>(read)) << c.form << " " << std::get<std::string>(read);
      EXPECT_EQ(c.target, std::get<NewChannel>(read).target) << c.form;
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.form;
      EXPECT_NE(std::string::npos, std::get<std::string>(read).find(c.problem)) << c.form;
    }
  }
}

// The real service with its pages open to sign-up, and tight mail limits.
class HostilePages : public ServiceFixture {
 protected:
  static inline const std::string kCsrf = std::string(43, 'A');

  void SetUp() override {
    settings_.push_back({"TARN_PUBLIC_URL", "http://127.0.0.1:" + std::to_string(port_)});
    settings_.push_back({"TARN_SIGN_UP", "open"});
    settings_.push_back({"TARN_WEB_MAILS_PER_ADDRESS", "3"});
    settings_.push_back({"TARN_WEB_MAILS_PER_RECIPIENT", "2"});
    StartSink();
    StartService();
  }

  // A page's form posted as a browser on this machine posts it, with the form token.
  ServiceReply Post(const std::string& path, const std::string& body, const std::string& cookies = "",
                    const std::string& from = "127.0.0.1") {
    const std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nSec-Fetch-Site: same-origin\r\n" +
                                "Content-Type: application/x-www-form-urlencoded\r\nCookie: csrf=" + kCsrf +
                                (cookies.empty() ? "" : "; " + cookies) +
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return ReadReply(RawExchange(port_, request, from));
  }
  ServiceReply Get(const std::string& path, const std::string& cookies = "") {
    return ReadReply(RawGet(port_, path, "127.0.0.1", cookies.empty() ? "" : "Cookie: " + cookies + "\r\n"));
  }
  // Signs in on the pages; the session cookie ("session=...").
  std::string SignIn(const std::string& email) {
    const ServiceReply reply = Post("/signin", "csrf=" + kCsrf + "&email=" + email + "&password=%E5%AF%86%E7%A0%81ab");
    EXPECT_EQ(303, reply.http) << reply.head;
    const size_t at = reply.head.find("Set-Cookie: session=");
    return at == std::string::npos ? "" : reply.head.substr(at + 12, reply.head.find(';', at) - at - 12);
  }
  std::string LinkIn(size_t mail) {
    EXPECT_TRUE(sink_->WaitForMails(mail + 1, 20));
    const std::string text = sink_->Mails().at(mail);
    const size_t at = text.find("?t=");
    return text.substr(at + 3, 43);
  }
};

TEST_F(HostilePages, AreRefusedOrShownHarmlessly) {
  AddAccount("owner@example.test");
  AddAccount("other@example.test");
  // The other account has a channel of its own.
  const std::string otherSession = SignIn("other@example.test");
  ASSERT_EQ(303, Post("/account/channels/add", "csrf=" + kCsrf + "&kind=wecom&target=OTHER-KEY-1&events=both",
                      otherSession).http);
  const auto otherPage = [&] { return Get("/account", "csrf=" + kCsrf + "; " + otherSession).body; };
  const std::string otherId = LastChannelId(otherPage());
  ASSERT_FALSE(otherId.empty());
  const std::string otherChannel = "&id=" + otherId;
  const std::string session = SignIn("owner@example.test");
  ASSERT_FALSE(session.empty());

  const std::string script = "%3Cscript%3Ealert(1)%3C%2Fscript%3E";
  const std::string add = "csrf=" + kCsrf + "&events=both";
  struct Case {
    std::string what, path, body;
    int http;
    std::string shown;  // in the page
    bool owner = false;  // posted in the owner's session
  };
  const std::vector<Case> cases = {
      {"oversized form", "/signin", "csrf=" + kCsrf + "&email=" + std::string(3000, 'a'), 200, "请求过大"},
      {"bad UTF-8", "/signin", "csrf=" + kCsrf + "&email=%FF%FE@x.cn&password=x", 403, "页面已过期"},
      {"no token", "/signin", "email=owner@example.test&password=%E5%AF%86%E7%A0%81ab", 403, "页面已过期"},
      {"wrong token", "/signin", "csrf=" + std::string(43, 'B') + "&email=a@b.cn&password=x", 403, "页面已过期"},
      {"script in sign-in", "/signin", "csrf=" + kCsrf + "&email=" + script + "&password=x", 200,
       "value=\"&lt;script&gt;alert(1)&lt;/script&gt;\""},
      {"script in sign-up", "/signup", "csrf=" + kCsrf + "&email=" + script + "&password=12345678", 200,
       "value=\"&lt;script&gt;alert(1)&lt;/script&gt;\""},
      {"script in forgot", "/forgot", "csrf=" + kCsrf + "&email=" + script, 200,
       "value=\"&lt;script&gt;alert(1)&lt;/script&gt;\""},
      {"script in a link", "/reset", "csrf=" + kCsrf + "&t=" + script + "&password=12345678", 410, "链接无效"},
      {"unknown channel kind", "/account/channels/add", add + "&kind=sms&target=abc", 200, "请选择渠道类型", true},
      {"mail added as a channel", "/account/channels/add", add + "&kind=mail&target=", 200, "请选择渠道类型", true},
      {"oversized target", "/account/channels/add", add + "&kind=webhook&target=https://a.test/" + std::string(600, 'a'),
       200, "最多 512 个字符", true},
      {"webhook to another scheme", "/account/channels/add", add + "&kind=webhook&target=file:///etc/passwd", 200,
       "只能以 http:// 或 https:// 开头", true},
      {"an address where a key goes", "/account/channels/add",
       add + "&kind=wecom&target=https%3A%2F%2Fhost.test%2Fsend%3Fkey%3Dx", 200, "不要填写完整地址", true},
      {"script as a key", "/account/channels/add", add + "&kind=dingtalk&target=" + script, 200, "不要填写完整地址",
       true},
      {"another account's channel deleted", "/account/channels/delete", "csrf=" + kCsrf + otherChannel, 404,
       "没有这个提醒渠道", true},
      {"another account's channel tested", "/account/channels/test", "csrf=" + kCsrf + otherChannel, 404,
       "没有这个提醒渠道", true},
      {"another account's channel changed", "/account/channels/events",
       "csrf=" + kCsrf + otherChannel + "&events=up", 404, "没有这个提醒渠道", true},
      {"channel deleted without the token", "/account/channels/delete", otherChannel.substr(1), 403, "页面已过期",
       true},
      {"channel added without a session", "/account/channels/add", add + "&kind=wecom&target=abc", 303, ""},
  };
  for (const Case& c : cases) {
    const ServiceReply reply = Post(c.path, c.body, c.owner ? session : "");
    EXPECT_EQ(c.http, reply.http) << c.what;
    EXPECT_NE(std::string::npos, reply.body.find(c.shown)) << c.what << "\n" << reply.body;
    EXPECT_EQ(std::string::npos, reply.body.find("<script")) << c.what;
  }

  // The other account's channel is there as it was, and the owner has none.
  EXPECT_EQ(otherId, LastChannelId(otherPage())) << "not deleted";
  EXPECT_NE(std::string::npos, otherPage().find("<option value=\"both\" selected>")) << "events unchanged";
  EXPECT_EQ("", LastChannelId(Get("/account", "csrf=" + kCsrf + "; " + session).body));

  // A session of one account never acts on another's machines.
  ASSERT_EQ(1, Login("other@example.test", kPassword, "OTHER-PC").status);
  EXPECT_EQ(303, Post("/account/machines/signout", "csrf=" + kCsrf + "&machine=OTHER-PC", session).http);
  EXPECT_EQ(1, Info("other@example.test", "OTHER-PC").status);
  EXPECT_EQ(std::string::npos, Get("/account", "csrf=" + kCsrf + "; " + session).body.find("OTHER-PC"));
  // A made-up or foreign cookie is no session.
  EXPECT_EQ(303, Get("/account", "session=" + std::string(43, 'x')).http);

  // A reset link works once.
  EXPECT_EQ(200, Post("/forgot", "csrf=" + kCsrf + "&email=owner@example.test").http);
  const std::string token = LinkIn(0);
  const std::string use = "csrf=" + kCsrf + "&t=" + token + "&password=new-password-1";
  EXPECT_NE(std::string::npos, Post("/reset", use).body.find("新密码已设置"));
  const ServiceReply again = Post("/reset", use);
  EXPECT_EQ(410, again.http);
  EXPECT_NE(std::string::npos, again.body.find("已经使用过"));
  EXPECT_EQ(303, Get("/account", session).http) << "the new password ended the session";
}

TEST_F(HostilePages, ATestMessageShowsTheVendorsReplyWithoutPausingAndIsLimited) {
  ChannelReceiver wecom(folder_, "wecom", "GOOD-KEY-1", "");
  wecom.Start();
  service_->StopWithin(SIGTERM, 10);
  Set("TARN_CHANNEL_WECOM_URL", wecom.Url());
  Set("TARN_CHANNEL_ALLOW_PRIVATE", "1");  // the receiver is on the loopback
  StartService();
  AddAccount("owner@example.test");
  const std::string session = SignIn("owner@example.test");
  std::vector<std::string> ids;
  for (const char* key : {"GOOD-KEY-1", "WRONG-KEY-2"}) {
    ASSERT_EQ(303, Post("/account/channels/add", "csrf=" + kCsrf + "&kind=wecom&events=both&target=" + key, session)
                       .http);
    const std::string page = Get("/account", "csrf=" + kCsrf + "; " + session).body;
    ids.push_back(LastChannelId(page));
    EXPECT_NE(std::string::npos, page.find(std::string("****") + (key + std::string(key).size() - 4))) << page;
    EXPECT_EQ(std::string::npos, page.find(key)) << "a key is never shown in full";
  }
  struct Case {
    size_t channel;
    int http;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {0, 200, "测试消息已送达"},
      {0, 200, "&quot;errcode&quot;: 0"},  // the vendor's own reply, escaped
      {1, 200, "invalid webhook url"},      // a refusal is shown
      {1, 200, "对方拒绝了测试消息"},
      {0, 200, "测试消息已送达"},
      {0, 429, "测试过于频繁"},  // the sixth in a minute
  };
  for (const Case& c : cases) {
    const ServiceReply reply = Post("/account/channels/test", "csrf=" + kCsrf + "&id=" + ids[c.channel], session);
    EXPECT_EQ(c.http, reply.http) << c.shown;
    EXPECT_NE(std::string::npos, reply.body.find(c.shown)) << c.shown << "\n" << reply.body;
  }
  EXPECT_EQ(3u, wecom.Texts().size());
  // The owner saw the refusal: the channel is not paused for it.
  const std::string page = Get("/account", "csrf=" + kCsrf + "; " + session).body;
  EXPECT_EQ(std::string::npos, page.find("已暂停")) << page;
  // Twenty channels at most: one reminder never becomes a flood of requests.
  for (int i = 3; i <= 21; ++i) {
    const ServiceReply added =
        Post("/account/channels/add", "csrf=" + kCsrf + "&kind=wecom&events=both&target=K" + std::to_string(i), session);
    EXPECT_EQ(i <= 20 ? 303 : 200, added.http) << i;
    if (i > 20) {
      EXPECT_NE(std::string::npos, added.body.find("最多 20 个提醒渠道")) << added.body;
    }
  }
}

TEST_F(HostilePages, TestMessagesWaitingForTheirVendorHoldNoDatabaseThread) {
  ChannelReceiver wecom(folder_, "wecom", "GOOD-KEY-1", "");
  wecom.Start();
  service_->StopWithin(SIGTERM, 10);
  Set("TARN_CHANNEL_WECOM_URL", wecom.Url());
  Set("TARN_CHANNEL_ALLOW_PRIVATE", "1");
  Set("TARN_DATABASE_CONNECTIONS", "2");  // as many database threads as test messages run at once
  StartService();
  AddAccount("owner@example.test");
  const std::string session = SignIn("owner@example.test");
  ASSERT_EQ(303, Post("/account/channels/add", "csrf=" + kCsrf + "&kind=wecom&events=both&target=GOOD-KEY-1", session)
                     .http);
  const std::string cookies = "csrf=" + kCsrf + "; " + session;
  const std::string body = "csrf=" + kCsrf + "&id=" + LastChannelId(Get("/account", cookies).body);
  const std::string request = "POST /account/channels/test HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                              "Sec-Fetch-Site: same-origin\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                              "Cookie: " + cookies + "\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body;
  wecom.Hold();
  std::vector<int> sent;
  for (int i = 0; i < 2; ++i) {
    sent.push_back(ConnectFrom(port_));
    ASSERT_TRUE(SendAll(sent.back(), request));
  }
  for (int waited = 0; wecom.Held() < 2 && waited < 400; ++waited) usleep(25000);
  ASSERT_EQ(2u, wecom.Held());
  // Both exchanges wait for the vendor: the pages that need the database are served meanwhile.
  EXPECT_EQ(200, Get("/account", cookies).http);
  EXPECT_EQ(303, Post("/account/channels/disable", body, session).http);
  // Of three more, two wait their turn and one is told at once that the service is busy.
  std::vector<pollfd> more;
  for (int i = 0; i < 3; ++i) {
    sent.push_back(ConnectFrom(port_));
    ASSERT_TRUE(SendAll(sent.back(), request));
    more.push_back(pollfd{sent.back(), POLLIN, 0});
  }
  ASSERT_EQ(1, poll(more.data(), more.size(), 10000)) << "one answered while the vendor holds the others";
  wecom.Release();
  int delivered = 0, busy = 0;
  for (int fd : sent) {
    const ServiceReply reply = ReadReply(ReadUntilClosed(fd, 20));
    close(fd);
    delivered += reply.body.find("测试消息已送达") != std::string::npos;
    busy += reply.http == 503 && reply.body.find("服务器繁忙") != std::string::npos;
  }
  EXPECT_EQ(4, delivered);
  EXPECT_EQ(1, busy);
  EXPECT_EQ(4u, wecom.Texts().size());
}

TEST_F(HostilePages, SignUpFloodsAreLimited) {
  // From one client address: the fourth mail in a quarter of an hour is refused openly.
  for (int i = 0; i < 4; ++i) {
    const ServiceReply reply =
        Post("/signup", "csrf=" + kCsrf + "&email=u" + std::to_string(i) + "@example.test&password=12345678");
    EXPECT_EQ(i < 3 ? 200 : 429, reply.http) << i;
  }
  // For one address from many clients: the same reply every time, but only two mails.
  for (int i = 0; i < 4; ++i) {
    const ServiceReply reply = Post("/signup", "csrf=" + kCsrf + "&email=victim@example.test&password=12345678", "",
                                    "127.0.0." + std::to_string(10 + i));
    EXPECT_EQ(200, reply.http);
    EXPECT_NE(std::string::npos, reply.body.find("确认邮件已发往")) << i;
  }
  ASSERT_TRUE(sink_->WaitForMails(5, 20));
  size_t toVictim = 0;
  for (const std::string& mail : sink_->Mails()) toVictim += mail.find("To: victim@example.test") != std::string::npos;
  EXPECT_EQ(2u, toVictim);
}

TEST_F(HostilePages, SignUpReplyIsTheSameForAnExistingOwner) {
  AddAccount("owner@example.test");
  const ServiceReply taken = Post("/signup", "csrf=" + kCsrf + "&email=owner@example.test&password=12345678");
  const ServiceReply fresh = Post("/signup", "csrf=" + kCsrf + "&email=fresh@example.test&password=12345678");
  EXPECT_EQ(taken.http, fresh.http);
  std::string expected = taken.body;
  expected.replace(expected.find("owner@"), 5, "fresh");
  EXPECT_EQ(expected, fresh.body);
  ASSERT_TRUE(sink_->WaitForMails(2, 20));
  for (const std::string& mail : sink_->Mails()) {
    const bool toOwner = mail.find("To: owner@example.test") != std::string::npos;
    EXPECT_NE(std::string::npos, mail.find(toOwner ? "/reset?t=" : "/confirm?t=")) << mail;
  }
  // Still the old password: a sign-up never touches an existing account.
  EXPECT_EQ(1, Login("owner@example.test", kPassword).status);
}

TEST_F(HostilePages, ReminderHistoryIsPagedNewestFirst) {
  AddAccount("owner@example.test");
  ASSERT_EQ(1, Login("owner@example.test", kPassword).status);
  for (int i = 1; i <= 21; ++i) {
    ASSERT_EQ(1, Remind("owner@example.test", 1, 500, "http://site" + std::to_string(i) + ".test/").status) << i;
  }
  const std::string session = SignIn("owner@example.test") + "; csrf=" + kCsrf;
  const auto rows = [](const std::string& page) {
    size_t count = 0;
    for (size_t at = page.find("class=\"reminder\""); at != std::string::npos;
         at = page.find("class=\"reminder\"", at + 1)) {
      ++count;
    }
    return count;
  };
  const std::string first = Get("/account", session).body;
  EXPECT_EQ(20u, rows(first));
  EXPECT_LT(first.find("site21.test"), first.find("site20.test"));
  EXPECT_NE(std::string::npos, first.find("href=\"/account?page=2\""));
  const std::string second = Get("/account?page=2", session).body;
  EXPECT_EQ(1u, rows(second));
  EXPECT_NE(std::string::npos, second.find("site1.test"));
  EXPECT_NE(std::string::npos, second.find("href=\"/account?page=1\""));
  // A page number that is not one shows the first page.
  EXPECT_EQ(20u, rows(Get("/account?page=-1%00", session).body));
}

TEST_F(HostilePages, SignOutAndNewPasswordsMarkMachinesSignedOut) {
  AddAccount("owner@example.test");
  struct Case {
    std::string what;
    std::string path;            // posted with the session
    std::string field;           // beyond the form token
    std::vector<int> infoAfter;  // getInfo's status for PC-1 and PC-2 afterwards
  };
  const std::vector<Case> cases = {
      {"one machine", "/account/machines/signout", "&machine=PC-1", {0, 1}},
      {"every machine", "/account/machines/signout-all", "", {0, 0}},
      {"a new password", "/account/password", "&current=%E5%AF%86%E7%A0%81ab&password=new-password-1", {0, 0}},
  };
  for (const Case& c : cases) {
    for (const char* machine : {"PC-1", "PC-2"}) ASSERT_EQ(1, Login("owner@example.test", kPassword, machine).status);
    const std::string session = SignIn("owner@example.test") + "; csrf=" + kCsrf;
    ASSERT_NE(std::string::npos, Get("/account", session).body.find("PC-1")) << c.what;
    const ServiceReply done = Post(c.path, "csrf=" + kCsrf + c.field, session);
    EXPECT_EQ(303, done.http) << c.what << "\n" << done.body;
    EXPECT_EQ(c.infoAfter[0], Info("owner@example.test", "PC-1").status) << c.what;
    EXPECT_EQ(c.infoAfter[1], Info("owner@example.test", "PC-2").status) << c.what;
    // The page lists only the machines still signed in (after a new password, in the
    // session that came with it).
    const size_t renewed = done.head.find("Set-Cookie: session=");
    const std::string now =
        renewed == std::string::npos ? session
                                     : done.head.substr(renewed + 12, done.head.find(';', renewed) - renewed - 12) +
                                           "; csrf=" + kCsrf;
    const std::string page = Get("/account", now).body;
    EXPECT_EQ(c.infoAfter[0] == 1, page.find("PC-1") != std::string::npos) << c.what;
    // A signed-out machine stays known to the account: the operator sees none of them listed.
    const std::string listed = Admin({"machines", "owner@example.test"}).second;
    EXPECT_EQ(c.infoAfter[0] == 1, listed.find("PC-1") != std::string::npos) << c.what << "\n" << listed;
  }
}

TEST_F(HostilePages, AResetPasswordForgetsTheGuessesAgainstTheAccount) {
  service_->StopWithin(SIGTERM, 10);
  Set("TARN_LOGIN_FAILURES_ACCOUNT_WIDE", "3");
  StartService();
  AddAccount("owner@example.test");
  // Guesses from three addresses fill the account-wide count: a new machine is turned away.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0, Login("owner@example.test", "guess", "NEW-PC", "127.0.0." + std::to_string(20 + i)).status) << i;
  }
  EXPECT_EQ(0, Login("owner@example.test", kPassword, "NEW-PC", "127.0.0.30").status);
  // The owner resets the password from a mailed link: the guesses are forgotten with the old one.
  EXPECT_EQ(200, Post("/forgot", "csrf=" + kCsrf + "&email=owner@example.test").http);
  const std::string use = "csrf=" + kCsrf + "&t=" + LinkIn(0) + "&password=new-password-1";
  ASSERT_NE(std::string::npos, Post("/reset", use).body.find("新密码已设置"));
  EXPECT_EQ(1, Login("owner@example.test", "new-password-1", "NEW-PC", "127.0.0.31").status);
}

TEST_F(HostilePages, PagesWaitingForTheDatabaseAreAnsweredBusyWithoutHoldingOthers) {
  if (TestingPostgres()) GTEST_SKIP() << "another process holds SQLite's write lock";
  using Clock = std::chrono::steady_clock;
  const auto secondsSince = [](Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  service_->StopWithin(SIGTERM, 10);
  Set("TARN_DATABASE_WAIT_SECONDS", "1");
  StartService();
  AddAccount("owner@example.test");
  ASSERT_EQ(1, Login("owner@example.test", kPassword, "PC-1").status);
  const std::string session = SignIn("owner@example.test") + "; csrf=" + kCsrf;

  const auto other = OpenSqlite(DatabasePath());
  other->Begin();
  // More page writes waiting than the service has request threads.
  const std::string body = "csrf=" + kCsrf;
  const std::string request = "POST /account/machines/signout-all HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                              "Sec-Fetch-Site: same-origin\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                              "Cookie: " + session + "\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\n\r\n" + body;
  const auto start = Clock::now();
  std::vector<int> waiting;
  for (int i = 0; i < 8; ++i) {
    waiting.push_back(ConnectFrom(port_));
    ASSERT_TRUE(SendAll(waiting.back(), request));
  }
  // Meanwhile what needs no database is answered at once: no request thread waits.
  for (int round = 0; round < 3; ++round) {
    const auto asked = Clock::now();
    EXPECT_EQ(200, ReadReply(RawGet(port_, "/healthz")).http) << round;
    EXPECT_EQ(200, ReadReply(RawGet(port_, "/style.css")).http) << round;
    EXPECT_EQ(404, ReadReply(RawGet(port_, "/index.php?g=Admin")).http) << round;
    EXPECT_LT(secondsSince(asked), 0.5) << round;
  }
  for (int fd : waiting) {
    const ServiceReply reply = ReadReply(ReadUntilClosed(fd, 5));
    close(fd);
    EXPECT_EQ(503, reply.http) << reply.head;
    EXPECT_NE(std::string::npos, reply.head.find("Content-Type: text/html")) << "the busy page: " << reply.head;
    EXPECT_NE(std::string::npos, reply.body.find("服务器繁忙，请稍后再试")) << reply.body;
  }
  EXPECT_LT(secondsSince(start), 1 + 1.5) << "answered within the database wait of 1 s";
  other->Exec("ROLLBACK");
  // Nothing was changed by the refused requests; the next one does it.
  EXPECT_EQ(1, Info("owner@example.test", "PC-1").status);
  EXPECT_EQ(303, Post("/account/machines/signout-all", body, session).http);
  EXPECT_EQ(0, Info("owner@example.test", "PC-1").status);
}

TEST_F(HostilePages, OneIpv6ClientIsCountedByItsWholeSlash64) {
  service_->StopWithin(SIGTERM, 10);
  Set("TARN_TRUST_PROXY", "127.0.0.1");
  StartService();
  const auto signUp = [this](const std::string& client, int i) {
    const std::string body = "csrf=" + kCsrf + "&email=v6-" + std::to_string(i) + "@example.test&password=12345678";
    return ReadReply(RawExchange(
        port_, "POST /signup HTTP/1.1\r\nHost: 127.0.0.1\r\nSec-Fetch-Site: same-origin\r\n"
               "X-Forwarded-For: " + client + "\r\nX-Forwarded-Proto: https\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nCookie: csrf=" + kCsrf +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
  };
  struct Case {
    std::string client;
    int http;  // three mails for one client in a quarter of an hour
  };
  const std::vector<Case> cases = {
      {"2001:db8:1:2::1", 200},      {"2001:db8:1:2::2", 200},
      {"2001:db8:1:2:ffff::9", 200}, {"2001:db8:1:2:abcd::1", 429},  // the same /64: the fourth is refused
      {"2001:db8:1:3::1", 200},                                       // the next /64 is another client
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(cases[i].http, signUp(cases[i].client, static_cast<int>(i)).http) << cases[i].client;
  }
}

}  // namespace
