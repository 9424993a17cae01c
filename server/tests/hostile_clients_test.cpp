// The real service binary against clients that do not play by the rules, as one table of
// cases over loopback only, each client bounded in count and in how long it waits.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <functional>
#include <utility>
#include <vector>
#include <span>

#include "postgres_server.h"
#include "service_fixture.h"
#include "store/sqlite_connection.h"
#include "store/database.h"

namespace {

using Clock = std::chrono::steady_clock;
const char* const kNotSignedIn = "未登录或服务已到期";
const char* const kNotMarkedSent = "not yet recorded as sent";
const char* const kBusy = "服务器繁忙，请稍后再试";
const char* const kTooManyAttempts = "尝试次数过多，请稍后再试";
const char* const kWrongPassword = "用户名或密码错误";
// The reverse proxy the service trusts.
const char* const kProxy = "127.0.0.200";
// The service's connection cap in these tests: above the crowd, and within reach.
constexpr int kConnectionCap = 1100;

// Closes the sockets it holds.
struct Sockets {
  std::vector<int> fds;
  ~Sockets() {
    for (int fd : fds) close(fd);
  }
};

// True while the service keeps the connection open (nothing to read, no end).
bool StillOpen(int fd) {
  char byte;
  const ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
  return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

// The peak resident memory of a process, in kB.
long PeakMemoryKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string key; status >> key;) {
    long value = 0;
    if (key == "VmHWM:" && status >> value) return value;
  }
  return -1;
}

// What the service may hold at most while it refuses an endless request line. A sanitizer's
// shadow memory and its quarantine of freed blocks make the same service some 80 MB larger
// before that line's first byte arrives: what is left to check there is the growth.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kServicePeakKb = 256 * 1024;
#else
constexpr long kServicePeakKb = 64 * 1024;
#endif
constexpr long kEndlessLineGrowthKb = 16 * 1024;

// The address of the n-th other client: 127.0.0.2, 127.0.0.3, ...
std::string OtherClient(int n) { return "127.0.0." + std::to_string(2 + n); }

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string Post(const std::string& action, const std::string& headers, const std::string& body) {
  return "POST /index.php?g=Api&m=Client&a=" + action + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class HostileClients : public ServiceFixture {
 protected:
  void SetUp() override {
    rlimit limit{};  // room for the crowd's connections
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    settings_.push_back({"TARN_LOGIN_FAILURES_PER_ACCOUNT", "3"});
    settings_.push_back({"TARN_LOGIN_FAILURES_ACCOUNT_WIDE", "5"});
    settings_.push_back({"TARN_TRUST_PROXY", kProxy});
    settings_.push_back({"TARN_MAX_CONNECTIONS", std::to_string(kConnectionCap)});
    settings_.push_back({"TARN_METRICS_PORT", std::to_string(metricsPort_)});
    AddAccount("me@x.cn");
    StartSink();
    StartService();
  }

  // Sends `request` from 127.0.0.1: exactly one JSON answer with status 0 and no server
  // error comes back, and nothing after the first request is read as another one.
  std::function<void()> AnsweredOnce(const std::string& request, int http, const char* info) {
    return [=, this] {
      const ServiceReply reply = ReadReply(RawExchange(port_, request));
      EXPECT_EQ(1u, reply.replies);
      EXPECT_EQ(http, reply.http);
      EXPECT_EQ(0, reply.status);
      EXPECT_EQ(info, reply.info);
      EXPECT_EQ(std::string::npos, reply.head.find("EXCEPTION")) << reply.head;
    };
  }

  // The service answers, stops reading and closes long before 64 MB have been sent, and
  // its memory stays small and hardly grows.
  void EndlessRequestLine() {
    const long startKb = PeakMemoryKb(service_->Pid());
    Sockets endless{{ConnectFrom(port_, OtherClient(0))}};
    const int fd = endless.fds[0];
    ASSERT_GE(fd, 0);
    timeval wait{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    const std::string chunk(64 * 1024, 'A');
    size_t sent = 0;
    bool open = SendAll(fd, "POST /index.php?g=Api&m=Client&a=login");
    while (open && sent < 64u * 1024 * 1024 && (open = SendAll(fd, chunk))) sent += chunk.size();
    // Closed by the service, not just a full send buffer.
    EXPECT_TRUE(!open && (errno == EPIPE || errno == ECONNRESET)) << "sent " << sent << " bytes, not closed";
    const long peakKb = PeakMemoryKb(service_->Pid());
    EXPECT_GT(peakKb, 0);
    EXPECT_LT(peakKb, kServicePeakKb) << "peak memory in kB";
    EXPECT_LT(peakKb - startKb, kEndlessLineGrowthKb) << "peak memory grew by that many kB";
    std::printf("endless request line: closed after %zu bytes; service peak memory %ld kB (%ld kB before)\n", sent,
                peakKb, startKb);
  }

  // 1 000 idle connections (50 from each of 20 addresses) and 40 that drip their head a
  // line at a time: the program's getInfo from 127.0.0.1 is still answered, each time
  // while the whole crowd is still held open.
  void Crowd() {
    Sockets crowd;  // the idle ones from 127.0.0.2 to 127.0.0.21, then one drip each from 127.0.0.22 up
    for (int i = 0; i < 1040; ++i) crowd.fds.push_back(ConnectFrom(port_, OtherClient(i < 1000 ? i / 50 : i - 980)));
    for (int fd : crowd.fds) ASSERT_GE(fd, 0);
    const std::span<const int> drips(crowd.fds.data() + 1000, 40);
    for (int fd : drips) SendAll(fd, "POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.0\r\n");
    for (int round = 0; round < 3; ++round) {
      for (int fd : drips) SendAll(fd, "X-Drip-" + std::to_string(round) + ": slow\r\n");
      const auto start = Clock::now();
      const ServiceReply reply = Info("");
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      EXPECT_EQ(200, reply.http) << "round " << round;
      EXPECT_EQ(kNotSignedIn, reply.info) << "round " << round;
      const auto open = static_cast<size_t>(std::count_if(crowd.fds.begin(), crowd.fds.end(), StillOpen));
      EXPECT_EQ(crowd.fds.size(), open) << "round " << round << ": the crowd was let go before getInfo was answered";
      std::printf("getInfo beside %zu idle and slow connections: %.1f ms\n", open, ms);
    }
  }

  // Guesses from other addresses, past every limit, while the owner's machine signs in.
  void GuessesFromElsewhere() {
    const struct {
      const char* from;
      const char* email;
      const char* machine;
      std::string password;
      const char* info;
    } steps[] = {
        {"127.0.0.1", "me@x.cn", "OWNER-PC", kPassword, "登录成功"},  // the owner's machine, known from now on
        {"127.0.0.2", "me@x.cn", "GUESSER", "guess1", "用户名或密码错误"},
        {"127.0.0.2", "me@x.cn", "GUESSER", "guess2", "用户名或密码错误"},
        {"127.0.0.2", "me@x.cn", "GUESSER", "guess3", "用户名或密码错误"},
        {"127.0.0.2", "me@x.cn", "GUESSER", "guess4", "尝试次数过多，请稍后再试"},
        {"127.0.0.2", "Me@X.cn", "GUESSER", kPassword, "尝试次数过多，请稍后再试"},  // that address has used its share
        {"127.0.0.3", "me@x.cn", "GUESSER", "guess5", "用户名或密码错误"},
        {"127.0.0.3", "me@x.cn", "GUESSER", "guess6", "用户名或密码错误"},
        {"127.0.0.4", "me@x.cn", "GUESSER", "guess7", "尝试次数过多，请稍后再试"},  // the account-wide ceiling
        {"127.0.0.1", "me@x.cn", "NEW-PC", kPassword, "尝试次数过多，请稍后再试"},   // slows a machine the account does not know
        {"127.0.0.1", "me@x.cn", "OWNER-PC", kPassword, "登录成功"},
        {"127.0.0.5", "me@x.cn", "OWNER-PC", kPassword, "登录成功"},  // the owner's machine elsewhere
        {"127.0.0.1", "me@x.cn", "OWNER-PC", "typo", "用户名或密码错误"},
    };
    for (const auto& s : steps) {
      EXPECT_EQ(s.info, Login(s.email, s.password, s.machine, s.from).info) << s.from << " " << s.password;
    }
  }

  // Behind the trusted proxy, a client writes an X-Forwarded-For line of its own, a new
  // made-up address each time, and the proxy adds its own line rather than extend the
  // client's: the proxy's line names the client, whose guesses are counted together.
  void TwoForwardedForLines() {
    AddAccount("proxied@x.cn");
    for (int i = 0; i < 7; ++i) {
      const std::string body = LoginBody("proxied@x.cn", "guess" + std::to_string(i), "PC");
      std::string request = ProgramRequest(port_, "login", body);
      request.insert(request.find("\r\n") + 2, "X-Forwarded-For: 10.9.8." + std::to_string(i) +
                                                     "\r\nX-Forwarded-For: 198.51.100.7\r\n");
      EXPECT_EQ(i < 3 ? kWrongPassword : kTooManyAttempts, ReadReply(RawExchange(port_, request, kProxy)).info) << i;
    }
    const std::string log = FileText(LogPath());
    EXPECT_EQ(7u, Occurrences(log, " 198.51.100.7 login [proxied@x.cn]")) << log;
    EXPECT_EQ(0u, Occurrences(log, "10.9.8.")) << "an address the client made up is never believed";
  }

  // 35 guesses from other addresses hit the account-wide ceiling; the operator gives a new
  // password, which signs the owner's machine out; the owner signs in with it on that machine
  // and on one new to the account.
  void OwnerAfterGuessesAndNewPassword() {
    AddAccount("boss@x.cn");
    ASSERT_EQ("登录成功", Login("boss@x.cn", kPassword, "BOSS-PC").info);
    int refused = 0;
    for (int i = 0; i < 35; ++i) {
      refused += Login("boss@x.cn", "guess" + std::to_string(i), "GUESSER", OtherClient(60 + i / 3)).info ==
                 kTooManyAttempts;
    }
    EXPECT_EQ(30, refused) << "past the ceiling of 5";
    const std::string newPassword = "新密码cd";
    ASSERT_EQ(0, Admin({"passwd", "boss@x.cn"}, newPassword + "\n").first);
    EXPECT_EQ(kNotSignedIn, Info("boss@x.cn", "BOSS-PC").info) << "signed out by the new password";
    const struct {
      const char* machine;
      std::string password;
      const char* info;
    } steps[] = {
        {"BOSS-PC", newPassword, "登录成功"},      // known to the account though signed out
        {"BOSS-LAPTOP", newPassword, "登录成功"},  // the guesses at the old password were forgotten
        {"BOSS-PC", kPassword, kWrongPassword},
    };
    for (const auto& s : steps) EXPECT_EQ(s.info, Login("boss@x.cn", s.password, s.machine).info) << s.machine;
  }

  // The service's port at its connection cap: further connections there are closed at once,
  // while the metrics port, which has an allowance of its own, answers.
  void MetricsPortBesideAFullServicePort() {
    Sockets full;
    for (int i = 0; i < kConnectionCap; ++i) full.fds.push_back(ConnectFrom(port_, OtherClient(40 + i / 60)));
    for (int fd : full.fds) ASSERT_GE(fd, 0);
    // Accepted after all of those: the cap is reached by then.
    EXPECT_EQ("", RawExchange(port_, ProgramRequest(port_, "getInfo", InfoBody("", "MID")))) << "over the cap";
    const ServiceReply health = ReadReply(RawGet(metricsPort_, "/healthz"));
    EXPECT_EQ(200, health.http);
    EXPECT_EQ("ok\n", health.body);
    const std::string metrics = RawGet(metricsPort_, "/metrics");
    EXPECT_EQ(200, ReadReply(metrics).http);
    EXPECT_NE(std::string::npos, metrics.find("\ntarn_mails_sent_total ")) << metrics.substr(0, 300);
  }

  // A site address with CR/LF and 1 900 characters: one mail, no added header, short lines.
  void LongAddressWithLineBreaks() {
    const std::string url = "http://a.cn/" + std::string(900, 'a') + "\r\nBcc: evil@x.cn\r\n" + std::string(970, 'b');
    ASSERT_EQ(1900u, url.size());
    const size_t before = sink_->RawMails().size();
    ASSERT_EQ(1, Remind("me@x.cn", 1, 500, url, "OWNER-PC").status);
    ASSERT_TRUE(sink_->WaitForMails(before + 1, 30)) << "the mail server took it";
    const std::string raw = sink_->RawMails().back();
    const std::string headers = raw.substr(0, raw.find("\n\n") + 1);
    EXPECT_EQ(std::string::npos, headers.find("\nBcc:")) << headers;
    EXPECT_EQ(std::string::npos, headers.find("evil")) << headers;
    for (size_t start = 0, end; start < raw.size(); start = end + 1) {
      end = std::min(raw.find('\n', start), raw.size());
      EXPECT_LE(end - start, 998u) << raw.substr(start, 80);
    }
    EXPECT_NE(std::string::npos, sink_->Mails().back().find("网站：http://a.cn/" + std::string(900, 'a') + "  Bcc: evil"));
  }

  // The database is locked by another process while a delivered mail is to be marked sent.
  void DatabaseLockedWhileMarkingSent() {
    const std::string hold = sink_->HoldFile();
    const size_t before = sink_->RawMails().size();
    const size_t sentBefore = MailsInState("sent");
    std::ofstream(hold).put('1');
    ASSERT_EQ(1, Remind("me@x.cn", 1, 500, "http://c.cn/", "OWNER-PC").status);
    ASSERT_TRUE(sink_->WaitForMails(before + 1, 30));  // the sender now waits for the acceptance
    const auto other = OpenSqlite(DatabasePath());
    other->Begin();
    unlink((hold + ".quit").c_str());  // left by the sessions before
    unlink(hold.c_str());
    // Once the SMTP session has ended, the sender waits for the file; requests go on meanwhile.
    ASSERT_TRUE(WaitUntil([&] { return access((hold + ".quit").c_str(), F_OK) == 0; }, 30));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(1, Info("me@x.cn", "OWNER-PC").status);
    EXPECT_EQ(0u, Occurrences(FileText(LogPath()), kNotMarkedSent))
        << "answered while the sender still waits for the file: its wait holds no other request";
    // Held until the sender has failed to record the mail twice: the second time, a full
    // pass later, the back-off has passed and the mail is due again.
    EXPECT_TRUE(WaitUntil([&] { return Occurrences(FileText(LogPath()), kNotMarkedSent) >= 2; }, 30));
    other->Exec("COMMIT");
    EXPECT_TRUE(WaitUntil([&] { return MailsInState("sent") == sentBefore + 1; }, 30));
    EXPECT_EQ(before + 1, sink_->RawMails().size()) << "no second copy";
  }

  // What needs no database is answered at once while requests that need it wait: /healthz
  // (with `health`), an unknown path and a refusal of what cannot be read. The bound of
  // half a second is asked for; each takes a millisecond or two on a quiet machine.
  void AnsweredWithoutTheDatabase(int port, int health) {
    const struct {
      const char* request;
      int http;
    } quick[] = {{"GET /healthz HTTP/1.0\r\n\r\n", health},
                 {"GET /index.php?g=Admin HTTP/1.0\r\n\r\n", 404},
                 {"HELLO THERE\r\n\r\n", 400}};
    for (const auto& q : quick) {
      const auto start = Clock::now();
      EXPECT_EQ(q.http, ReadReply(RawExchange(port, q.request)).http) << q.request;
      EXPECT_LT(SecondsSince(start), 0.5) << q.request;
    }
  }

  // Sends each request on a connection of its own from 127.0.0.1 and leaves it waiting.
  static Sockets SendWaiting(int port, const std::vector<std::pair<std::string, std::string>>& requests) {
    Sockets sent;
    for (const auto& [action, body] : requests) {
      sent.fds.push_back(ConnectFrom(port));
      SendAll(sent.fds.back(), ProgramRequest(port, action, body));
    }
    return sent;
  }

  // SIGTERM to `service`: it ends within the 2 s asked for (half a second more allowed for
  // a loaded machine), and every request still waiting for the database is answered busy.
  static void StopsInTimeAnsweringBusy(ServiceProcess& service, const Sockets& waiting) {
    const auto start = Clock::now();
    EXPECT_EQ(0, service.StopWithin(SIGTERM, 10));
    const double seconds = SecondsSince(start);
    EXPECT_LT(seconds, 2.5) << "ended after SIGTERM";
    std::printf("ended %.0f ms after SIGTERM with requests waiting for the database\n", seconds * 1000);
    for (int fd : waiting.fds) EXPECT_EQ(kBusy, ReadReply(ReadUntilClosed(fd, 5)).info);
  }

  // Another process holds the write lock while three reminders wait for it.
  void WriteLockedWhileRemindersWait() {
    const auto other = OpenSqlite(DatabasePath());
    other->Begin();
    std::vector<std::pair<std::string, std::string>> reminders;
    for (int i = 0; i < 3; ++i) {
      reminders.emplace_back("sendMsg", ReminderBody("me@x.cn", 1, 500, "http://locked" + std::to_string(i) + ".cn/",
                                                     "OWNER-PC"));
    }
    const Sockets waiting = SendWaiting(port_, reminders);
    for (int round = 0; round < 3; ++round) AnsweredWithoutTheDatabase(port_, 200);  // reading needs no write lock
    for (int fd : waiting.fds) EXPECT_TRUE(StillOpen(fd)) << "the reminders wait for the lock all along";
    StopsInTimeAnsweringBusy(*service_, waiting);
    // The log times each reminder from its first byte to its answer: the wait shows.
    size_t waitedLong = 0;
    std::istringstream log(FileText(LogPath()));
    for (std::string line; std::getline(log, line);) {
      if (line.find(" sendMsg ") == std::string::npos || line.find(kBusy) == std::string::npos) continue;
      if (std::stod(line.substr(line.rfind(' ') + 1)) >= 1000) ++waitedLong;
    }
    EXPECT_EQ(3u, waitedLong) << FileText(LogPath());
    other->Exec("ROLLBACK");
    StartService();
  }

  // The service on PostgreSQL through a relay that stops answering: requests are refused
  // as busy within the database wait, /healthz turns to 503, and SIGTERM still ends it.
  void PostgresStalledBehindARelay() {
    PostgresServer& postgres = PostgresServer::Shared();
    const int relayPort = FreePort();
    const int servicePort = FreePort();
    ServiceProcess relay({"/usr/bin/python3", TESTS_SOURCE_DIR "/tcp_relay.py", std::to_string(relayPort),
                          std::to_string(postgres.Port())},
                         relayPort, {});
    ASSERT_TRUE(relay.Running());
    std::string database = postgres.CreateDatabase();
    const std::string serverPort = ":" + std::to_string(postgres.Port()) + "/";
    database.replace(database.find(serverPort), serverPort.size(), ":" + std::to_string(relayPort) + "/");
    Settings settings = settings_;
    // A second service beside the fixture's: ports of its own.
    settings.insert(settings.end(), {{"TARN_PORT", std::to_string(servicePort)},
                                     {"TARN_METRICS_PORT", std::to_string(FreePort())},
                                     {"TARN_DATABASE", database},
                                     {"TARN_DATABASE_WAIT_SECONDS", "2"},
                                     {"TARN_METRICS_PORT", "0"}});  // the first service has that port
    ASSERT_EQ(0, RunTool({ADMIN_BINARY, "add", "me@x.cn"}, settings, kPassword + "\n").first);
    ServiceProcess service({SERVICE_BINARY}, servicePort, settings, LogPath());
    ASSERT_TRUE(service.Running());
    const auto exchange = [servicePort](const std::string& action, const std::string& body) {
      return ReadReply(RawExchange(servicePort, ProgramRequest(servicePort, action, body)));
    };
    ASSERT_EQ(1, exchange("login", LoginBody("me@x.cn", kPassword, "PG-PC")).status);

    kill(relay.Pid(), SIGSTOP);
    const struct Resume {
      pid_t pid;
      ~Resume() { kill(pid, SIGCONT); }
    } resume{relay.Pid()};
    const std::vector<std::pair<std::string, std::string>> requests = {
        {"getInfo", InfoBody("me@x.cn", "PG-PC")},
        {"sendMsg", ReminderBody("me@x.cn", 1, 500, "http://stalled.cn/", "PG-PC")},
        {"login", LoginBody("me@x.cn", kPassword, "PG-PC")}};
    const auto start = Clock::now();
    const Sockets first = SendWaiting(servicePort, requests);
    for (int fd : first.fds) EXPECT_EQ(kBusy, ReadReply(ReadUntilClosed(fd, 10)).info);
    EXPECT_LT(SecondsSince(start), 2 + 1.5) << "answered within the database wait of 2 s";
    EXPECT_TRUE(WaitUntil([&] { return ReadReply(RawGet(servicePort, "/healthz")).http == 503; }, 3));
    // Monitoring is not blinded: /metrics comes within a second or so, without the gauges
    // the database would give.
    const auto scraped = Clock::now();
    const ServiceReply metrics = ReadReply(RawGet(servicePort, "/metrics"));
    EXPECT_LT(SecondsSince(scraped), 1 + 1);
    EXPECT_EQ(200, metrics.http);
    EXPECT_NE(std::string::npos, metrics.body.find("tarn_requests_total")) << metrics.body;
    EXPECT_EQ(std::string::npos, metrics.body.find("tarn_mail_queue_length")) << metrics.body;
    const Sockets waiting = SendWaiting(servicePort, requests);
    AnsweredWithoutTheDatabase(servicePort, 503);  // meanwhile the service has read the waiting requests
    StopsInTimeAnsweringBusy(service, waiting);
  }

  // A stop with 50 idle connections open: they are closed at once and the service ends.
  void StopWithIdleConnections() {
    Sockets idle;
    for (int i = 0; i < 50; ++i) idle.fds.push_back(ConnectFrom(port_, OtherClient(i % 5)));
    ASSERT_EQ(kNotSignedIn, Info("").info);
    const auto start = Clock::now();
    EXPECT_EQ(0, service_->StopWithin(SIGTERM, 10)) << "not ended within 10 s of SIGTERM";
    std::printf("ended %.0f ms after SIGTERM with 50 idle connections\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    for (int fd : idle.fds) EXPECT_EQ("", ReadUntilClosed(fd, 1)) << "closed without an answer";
  }

  const int metricsPort_ = FreePort();
};

}  // namespace

TEST_F(HostileClients, NoClientStopsTheServiceOrReachesBeyondItsOwnRequest) {
  const std::string info = InfoBody("", "MID");
  const std::string http11 = "POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.1\r\nHost: a\r\n";
  const struct {
    const char* name;
    std::function<void()> run;  // what the client does, then what must hold
  } cases[] = {
      {"body over the limit, then a second request",
       AnsweredOnce(ProgramRequest(port_, "getInfo", std::string(4000, 'a')) + ProgramRequest(port_, "getInfo", info),
                    200, "请求过大")},
      {"multipart body",
       AnsweredOnce(Post("login", "Content-Type: multipart/form-data; boundary=XyZ\r\n",
                         "--XyZ\r\nContent-Disposition: form-data; name=\"username\"\r\n\r\nme@x.cn\r\n--XyZ--\r\n"),
                    200, "请求格式错误")},
      {"chunked body", AnsweredOnce(http11 + "Transfer-Encoding: chunked\r\n\r\n5\r\nusern\r\n0\r\n\r\n", 400, "请求格式错误")},
      {"length and chunked together",
       AnsweredOnce(http11 + "Content-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 400, "请求格式错误")},
      {"not a request line", AnsweredOnce("HELLO THERE\r\n\r\n", 400, "请求格式错误")},
      {"header block over 8 KiB",
       AnsweredOnce(Post("getInfo", "X-Pad: " + std::string(9000, 'p') + "\r\n", info), 400, "请求过大")},
      {"unknown path", AnsweredOnce("GET /index.php?g=Admin HTTP/1.0\r\n\r\n", 404, "未知请求")},
      {"two requests in one",
       AnsweredOnce(ProgramRequest(port_, "getInfo", info) + ProgramRequest(port_, "getInfo", info), 200, kNotSignedIn)},
      {"a request line without an end from 127.0.0.2", [this] { EndlessRequestLine(); }},
      {"1 000 idle and 40 slow-drip connections from 127.0.0.2 and up", [this] { Crowd(); }},
      {"wrong passwords from 127.0.0.2 and up while the owner signs in", [this] { GuessesFromElsewhere(); }},
      {"two X-Forwarded-For lines behind the trusted proxy", [this] { TwoForwardedForLines(); }},
      {"35 guesses, a new password, and the owner signs in with it", [this] { OwnerAfterGuessesAndNewPassword(); }},
      {"the metrics port while the service's port is at its cap", [this] { MetricsPortBesideAFullServicePort(); }},
      {"CR/LF and 1 900 characters in a reminder's url", [this] { LongAddressWithLineBreaks(); }},
      {"the database locked while a mail is marked sent", [this] { DatabaseLockedWhileMarkingSent(); }},
      {"the write lock held by another process while three reminders wait", [this] { WriteLockedWhileRemindersWait(); }},
      {"PostgreSQL behind a relay that stops answering", [this] { PostgresStalledBehindARelay(); }},
      {"SIGTERM with 50 idle connections", [this] { StopWithIdleConnections(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.run();
  }
}
