// The operator's pages of the real service: /metrics read back by a real parser of the
// Prometheus text format and checked against what the test made the service do, /healthz,
// and who may read them on the service's port and on a metrics port of their own.
#include <algorithm>
#include <ctime>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "service_fixture.h"
#include "store/database.h"

namespace {

using Samples = std::map<std::string, double>;  // "name label=value ..." as read_metrics.py prints it

class OperatorPages : public ServiceFixture {
 protected:
  // Every sample of the metrics page on `port`, as the prometheus_client parser reads it.
  Samples Metrics(int port) {
    const std::string answer = RawGet(port, "/metrics");
    EXPECT_EQ(200, ReadReply(answer).http) << answer.substr(0, 200);
    EXPECT_NE(std::string::npos, answer.find("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"));
    const std::string body = ReadReply(answer).body;
    const auto [code, parsed] = RunTool({"/usr/bin/python3", TESTS_SOURCE_DIR "/read_metrics.py"}, {}, body);
    EXPECT_EQ(0, code) << body;
    Samples samples;
    std::istringstream lines(parsed);
    for (std::string line; std::getline(lines, line);) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) samples[line.substr(0, tab)] = std::stod(line.substr(tab + 1));
    }
    return samples;
  }
  double Metric(const std::string& key) {
    const Samples samples = Metrics(port_);
    const auto it = samples.find(key);
    return it == samples.end() ? -1 : it->second;
  }
};

TEST_F(OperatorPages, MetricsCountWhatTheServiceDid) {
  settings_.push_back({"TARN_LOGIN_FAILURES_PER_ACCOUNT", "1"});
  settings_.push_back({"TARN_MAIL_MAX_ATTEMPTS", "1"});
  AddAccount("me@x.cn");
  StartService();
  // A mail queued an hour ago and not due for a day: it stays in the queue throughout.
  const auto now = static_cast<long long>(std::time(nullptr));
  OpenConnection(DatabasePath())
      ->Exec("INSERT INTO mails (account_id, recipient, message, created, next_attempt) VALUES (1, 'old@x.cn', 'm', " +
            std::to_string(now - 3600) + ", " + std::to_string(now + 86400) + ")");

  EXPECT_EQ(1, Login("me@x.cn", kPassword).status);
  EXPECT_EQ(1, Info("me@x.cn").status);
  EXPECT_EQ("用户名或密码错误", Login("me@x.cn", "guess1").info);
  EXPECT_EQ("尝试次数过多，请稍后再试", Login("me@x.cn", "guess2").info);
  EXPECT_EQ(404, ReadReply(RawGet(port_, "/nothing")).http);
  // No mail server yet: one attempt, then given up; then one the mail server accepts.
  EXPECT_EQ(1, Remind("me@x.cn", 1, 500, "http://a.cn/").status);
  EXPECT_TRUE(WaitUntil([&] { return Metric("tarn_mails_given_up_total") == 1; }, 30));
  StartSink();
  EXPECT_EQ(1, Remind("me@x.cn", 1, 500, "http://b.cn/").status);
  EXPECT_TRUE(WaitUntil([&] { return Metric("tarn_mails_sent_total") == 1; }, 30));
  EXPECT_TRUE(WaitUntil([&] { return Metric("tarn_mail_queue_length") == 1; }, 30)) << "the old mail alone";

  const Samples samples = Metrics(port_);
  const std::pair<const char*, double> expected[] = {
      {"tarn_requests_total action=login status=1", 1},    {"tarn_requests_total action=login status=0", 2},
      {"tarn_requests_total action=getInfo status=1", 1},  {"tarn_requests_total action=getInfo status=0", 0},
      {"tarn_requests_total action=sendMsg status=1", 2},  {"tarn_requests_total action=other status=0", 1},
      {"tarn_request_duration_seconds_count action=login", 3},
      {"tarn_request_duration_seconds_count action=getInfo", 1},
      {"tarn_request_duration_seconds_count action=sendMsg", 2},
      {"tarn_request_duration_seconds_count action=other", 1},
      {"tarn_sign_ins_throttled_total", 1},                {"tarn_mails_queued_total", 2},
      {"tarn_mails_sent_total", 1},                        {"tarn_mails_given_up_total", 1},
      {"tarn_mail_queue_length", 1},
  };
  for (const auto& [key, value] : expected) {
    ASSERT_TRUE(samples.contains(key)) << key;
    EXPECT_EQ(value, samples.at(key)) << key;
  }
  EXPECT_GE(samples.at("tarn_mail_queue_oldest_age_seconds"), 3600) << "queued an hour before";
  // Each action's buckets: cumulative, from 0.5 ms to 10 s and +Inf, the last one its count.
  for (const std::string action : {"login", "getInfo", "sendMsg", "other"}) {
    const std::string prefix = "tarn_request_duration_seconds_bucket action=" + action + " le=";
    std::vector<std::pair<double, double>> buckets;  // upper bound, count
    for (auto it = samples.lower_bound(prefix); it != samples.end() && it->first.starts_with(prefix); ++it) {
      buckets.emplace_back(std::stod(it->first.substr(prefix.size())), it->second);
    }
    std::sort(buckets.begin(), buckets.end());
    ASSERT_EQ(15u, buckets.size()) << action;
    EXPECT_EQ(0.0005, buckets.front().first);
    EXPECT_EQ(10, buckets[13].first);
    EXPECT_TRUE(std::is_sorted(buckets.begin(), buckets.end(), [](auto& a, auto& b) { return a.second < b.second; }))
        << action;
    EXPECT_EQ(samples.at("tarn_request_duration_seconds_count action=" + action), buckets.back().second) << action;
  }
}

TEST_F(OperatorPages, WhoMayReadThemOnWhichPort) {
  settings_.push_back({"TARN_TRUST_PROXY", "127.0.0.1"});
  StartService();
  const std::string getInfo = ProgramRequest(port_, "getInfo", InfoBody("", "MID"));
  struct Case {
    const char* name;
    bool onMetricsPort;
    std::string request;
    const char* from;
    int http;
  };
  const auto check = [this](const std::vector<Case>& cases, int metricsPort) {
    for (const Case& c : cases) {
      const std::string answer = RawExchange(c.onMetricsPort ? metricsPort : port_, c.request, c.from);
      EXPECT_EQ(c.http, ReadReply(answer).http) << c.name;
      if (c.request.starts_with("GET /healthz")) {
        EXPECT_EQ("ok\n", ReadReply(answer).body) << c.name;
      }
      if (c.request.starts_with("GET /metrics") && c.http == 200) {
        EXPECT_NE(std::string::npos, ReadReply(answer).body.find("\ntarn_mails_sent_total 0\n")) << c.name;
      }
    }
  };
  const auto get = [](const std::string& path, const std::string& headers = "") {
    return "GET " + path + " HTTP/1.0\r\n" + headers + "\r\n";
  };
  // Only 127.x addresses exist for tests: a client elsewhere is shown by a proxy forwarding it.
  check({{"health to anyone", false, get("/healthz"), "127.0.0.2", 200},
         {"metrics on this machine", false, get("/metrics"), "127.0.0.1", 200},
         {"metrics with a query", false, get("/metrics?x=1"), "127.0.0.2", 200},
         {"metrics through the trusted proxy for a remote client", false,
          get("/metrics", "X-Forwarded-For: 203.0.113.5\r\n"), "127.0.0.1", 404},
         {"metrics forwarded with a forged local address", false, get("/metrics", "X-Forwarded-For: 127.0.0.1\r\n"),
          "127.0.0.2", 404},
         {"metrics forwarded with Forwarded", false, get("/metrics", "Forwarded: for=203.0.113.5\r\n"), "127.0.0.1",
          404},
         {"metrics posted", false, "POST /metrics HTTP/1.0\r\nContent-Length: 0\r\n\r\n", "127.0.0.1", 404},
         {"the program still served", false, getInfo, "127.0.0.2", 200}},
        0);

  const int metricsPort = FreePort();
  service_.reset();
  settings_.push_back({"TARN_METRICS_PORT", std::to_string(metricsPort)});
  StartService();
  check({{"metrics port: metrics to whoever reaches it", true, get("/metrics"), "127.0.0.2", 200},
         {"metrics port: health", true, get("/healthz"), "127.0.0.2", 200},
         {"metrics port: not the program's requests", true, getInfo, "127.0.0.1", 404},
         {"metrics port: nothing else", true, get("/index.php"), "127.0.0.1", 404},
         {"service port: metrics moved away", false, get("/metrics"), "127.0.0.1", 404},
         {"service port: health stays", false, get("/healthz"), "127.0.0.2", 200},
         {"service port: the program", false, getInfo, "127.0.0.1", 200}},
        metricsPort);
}

}  // namespace
