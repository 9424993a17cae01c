// The HTTP side's decisions with no network: what a log line shows, whom a request comes
// from and what its limits count it under, which request it is, when a connection is
// turned away, and what the operator's pages say when the database does not answer.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "config/ip_address.h"
#include "http/client_address.h"
#include "http/connection_limiter.h"
#include "http/log_line.h"
#include "http/operator_pages.h"
#include "http/request_action.h"

TEST(LogLine, NoFieldCanForgeALineOrAnotherField) {
  const struct {
    const char* name;
    std::string field;
    std::string shown;
  } cases[] = {
      {"plain name", "me@x.cn", "me@x.cn"},
      {"Chinese name stays readable", "\xE5\xBC\xA0\xE4\xB8\x89@x.cn", "\xE5\xBC\xA0\xE4\xB8\x89@x.cn"},
      {"line break", "a\r\n2026-01-01T00:00:00Z 1.2.3.4 login [root] status=1",
       "a\\x0D\\x0A2026-01-01T00:00:00Z\\x201.2.3.4\\x20login\\x20\\x5Broot\\x5D\\x20status=1"},
      {"bracket ends the name", "x] status=1", "x\\x5D\\x20status=1"},
      {"escape character itself", "a\\x0A", "a\\x5Cx0A"},
      {"raw GBK bytes", "\xD6\xD0", "\\xD6\\xD0"},
      {"overlong UTF-8 for a newline", "\xC0\x8A", "\\xC0\\x8A"},
      {"C1 control and line separator", "\xC2\x85\xE2\x80\xA8", "\\xC2\\x85\\xE2\\x80\\xA8"},
      {"NUL and DEL", std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
      {"empty", "", "-"},
      {"cut to the limit", std::string(300, 'a'), std::string(256, 'a') + "..."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, EscapeLogField(c.field)) << c.name;

  const std::string line =
      FormatLogLine(RequestLogEntry{"127.0.0.1", "get\nInfo", "me\n@x.cn", 1, "", 0.25}, 1800000000);
  EXPECT_EQ("2027-01-15T08:00:00Z 127.0.0.1 get\\x0AInfo [me\\x0A@x.cn] status=1 - 0.2ms", line);
}

TEST(ClientAddress, ForwardedForIsBelievedOnlyFromTrustedProxies) {
  const std::vector<std::string> proxies = {"10.0.0.5", "::1"};
  const struct {
    const char* name;
    std::string peer;
    std::string forwardedFor;
    std::string client;
  } cases[] = {
      {"direct client", "203.0.113.9", "", "203.0.113.9"},
      {"untrusted peer's header ignored", "203.0.113.9", "198.51.100.1", "203.0.113.9"},
      {"trusted proxy", "10.0.0.5", "198.51.100.1", "198.51.100.1"},
      {"rightmost entry wins over a forged left one", "10.0.0.5", "1.1.1.1, 198.51.100.1", "198.51.100.1"},
      {"proxy chain skipped", "10.0.0.5", "198.51.100.1,10.0.0.5", "198.51.100.1"},
      {"IPv6 proxy", "::1", "2001:db8::1", "2001:db8::1"},
      {"mapped IPv4 written as IPv4", "10.0.0.5", "::ffff:198.51.100.7", "198.51.100.7"},
      {"garbage entry", "10.0.0.5", "1.1.1.1, evil\r\nX: y", "10.0.0.5"},
      {"address cut short by a NUL", "10.0.0.5", std::string("198.51.100.1\0evil", 17), "10.0.0.5"},
      {"only proxies", "10.0.0.5", "10.0.0.5", "10.0.0.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.client, ClientAddress(c.peer, c.forwardedFor, proxies)) << c.name;
}

// Whoever holds one address of an IPv6 /64 may use any other: limits count the /64.
TEST(AddressForLimits, AnIPv6AddressCountsWithItsSlash64) {
  const struct {
    const char* address;
    const char* counted;
  } cases[] = {
      {"198.51.100.7", "198.51.100.7"},
      {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
      {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
      {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
      {"2001:db8:ffff:ffff:ffff::", "2001:db8:ffff:ffff::/64"},
      {"::1", "::/64"},
      {"not an address", "not an address"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.counted, AddressForLimits(c.address)) << c.address;
}

TEST(RequestAction, OnlyTheProgramsThreeRequests) {
  const struct {
    const char* method;
    const char* target;
    RequestAction action;
  } cases[] = {
      {"POST", "/index.php?g=Api&m=Client&a=login", RequestAction::kLogin},
      {"POST", "/index.php?g=Api&m=Client&a=getInfo", RequestAction::kGetInfo},
      {"POST", "/index.php?a=sendMsg&m=Client&g=Api", RequestAction::kSendMsg},
      {"GET", "/index.php?g=Api&m=Client&a=getInfo", RequestAction::kUnknown},
      {"POST", "/index.php?g=Api&m=Client&a=deleteAll", RequestAction::kUnknown},
      {"POST", "/index.php?g=Api&m=Admin&a=login", RequestAction::kUnknown},
      {"POST", "/other.php?g=Api&m=Client&a=login", RequestAction::kUnknown},
      {"POST", "/index.php", RequestAction::kUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(c.action, ReadRequestAction(c.method, c.target)) << c.target;
}

TEST(ConnectionLimiter, CapsInAllAndPerAddressAndFreesOnClose) {
  ConnectionLimiter limiter(4, 2);
  auto a1 = limiter.Admit("a", false);
  auto a2 = limiter.Admit("a", false);
  EXPECT_TRUE(a1 && a2);
  EXPECT_FALSE(limiter.Admit("a", false)) << "third from one address";
  auto proxy1 = limiter.Admit("p", true);
  auto proxy2 = limiter.Admit("p", true);
  EXPECT_TRUE(proxy1 && proxy2) << "a trusted proxy carries many clients";
  EXPECT_FALSE(limiter.Admit("b", false)) << "all four taken";
  a1 = {};
  auto b = limiter.Admit("b", false);
  EXPECT_TRUE(b) << "a closed connection frees its slot";
  EXPECT_EQ(4u, limiter.Open());
  b = {};
  proxy1 = {};
  proxy2 = {};
  a2 = {};
  EXPECT_TRUE(limiter.WaitUntilNoneOpen(std::chrono::steady_clock::now()));
}

TEST(OperatorPages, ADatabaseThatDoesNotAnswerIsReportedAsSuch) {
  const auto broken = [] () -> MailQueueFacts { throw std::runtime_error("database is locked"); };
  const struct {
    const char* name;
    std::function<bool()> answers;
    int health;
  } cases[] = {
      {"answers", [] { return true; }, 200},
      {"says no", [] { return false; }, 503},
      {"throws", [] () -> bool { throw std::runtime_error("disk I/O error"); }, 503},
  };
  ServiceMetrics metrics;
  for (const auto& c : cases) {
    EXPECT_EQ(c.health, AnswerOperatorPage(OperatorPage::kHealth, metrics, {c.answers, broken}).httpStatus) << c.name;
  }
  // Without the queue's facts the counters are still served; the queue gauges go missing.
  const OperatorReply page = AnswerOperatorPage(OperatorPage::kMetrics, metrics, {cases[0].answers, broken});
  EXPECT_EQ(200, page.httpStatus);
  EXPECT_NE(std::string::npos, page.body.find("\ntarn_mails_sent_total 0\n"));
  EXPECT_EQ(std::string::npos, page.body.find("tarn_mail_queue_length"));
}
