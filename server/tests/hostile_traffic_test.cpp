// The real service binary against clients that do not play by the rules: requests it cannot
// read, a request line without an end, a crowd of idle and slow connections from other
// addresses, and a stop while connections are open. Loopback only; every client is bounded
// in count and in how long it waits.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "raw_http.h"
#include "service_process.h"
#include "test_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Closes the sockets it holds.
struct Sockets {
  std::vector<int> fds;
  ~Sockets() {
    for (int fd : fds) close(fd);
  }
};

bool SendAll(int fd, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

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

void RaiseDescriptorLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// The address of the n-th other client: 127.0.0.2, 127.0.0.3, ...
std::string OtherClient(int n) { return "127.0.0." + std::to_string(2 + n); }

class HostileTraffic : public ::testing::Test {
 protected:
  HostileTraffic() {
    RaiseDescriptorLimit();
    service_ = std::make_unique<ServiceProcess>(
        SERVICE_BINARY, port_, Settings{{"TARN_DATABASE", folder_.Path() + "/accounts.db"}, {"TARN_SMTP_PORT", "9"}},
        folder_.Path() + "/service.log");
  }

  // Sends `request` from 127.0.0.1 and reads everything until the service closes.
  std::string Exchange(const std::string& request) {
    const int fd = ConnectFrom(port_, "127.0.0.1");
    if (fd < 0) return "";
    SendAll(fd, request);
    std::string answer = ReadUntilClosed(fd, 5);
    close(fd);
    return answer;
  }

  TestFolder folder_;
  const int port_ = FreePort();
  std::unique_ptr<ServiceProcess> service_;
};

// One JSON refusal: HTTP status, the reply's "status" and "info"; how many replies came.
struct Answer {
  int http = 0;
  int replies = 0;
  int status = -1;
  std::string info;
  std::string head;
};

Answer ReadAnswer(const std::string& raw) {
  Answer answer;
  for (size_t at = raw.find("HTTP/1."); at != std::string::npos; at = raw.find("HTTP/1.", at + 1)) ++answer.replies;
  const size_t blank = raw.find("\r\n\r\n");
  if (raw.size() < 12 || blank == std::string::npos) return answer;
  answer.http = std::atoi(raw.c_str() + 9);
  answer.head = raw.substr(0, blank);
  rapidjson::Document json;
  json.Parse(raw.c_str() + blank + 4);
  if (json.IsObject() && json.HasMember("status") && json["status"].IsInt()) answer.status = json["status"].GetInt();
  if (json.IsObject() && json.HasMember("info") && json["info"].IsString()) answer.info = json["info"].GetString();
  return answer;
}

std::string Post(const std::string& action, const std::string& headers, const std::string& body) {
  return "POST /index.php?g=Api&m=Client&a=" + action + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

TEST_F(HostileTraffic, OneClientCannotStopTheServiceOrReachBeyondItsOwnRequest) {
  ASSERT_TRUE(service_->Running());
  const std::string info = "username=&id=MID&softtype=2&ver=1.1.0.2";

  // Requests the service cannot take: each gets exactly one JSON refusal with status 0 and
  // no server error, and nothing after it is read as another request.
  const struct {
    const char* name;
    std::string request;
    int http;
    const char* info;
  } refused[] = {
      {"body over the limit, then a second request", ProgramRequest(port_, "getInfo", std::string(4000, 'a')) +
                                                         ProgramRequest(port_, "getInfo", info),
       200, "请求过大"},
      {"multipart body", Post("login", "Content-Type: multipart/form-data; boundary=XyZ\r\n",
                              "--XyZ\r\nContent-Disposition: form-data; name=\"username\"\r\n\r\nme@x.cn\r\n--XyZ--\r\n"),
       200, "请求格式错误"},
      {"chunked body", "POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked"
                       "\r\n\r\n5\r\nusern\r\n0\r\n\r\n",
       400, "请求格式错误"},
      {"length and chunked together", "POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.1\r\nHost: a\r\n"
                                      "Content-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
       400, "请求格式错误"},
      {"not a request line", "HELLO THERE\r\n\r\n", 400, "请求格式错误"},
      {"header block over 8 KiB", Post("getInfo", "X-Pad: " + std::string(9000, 'p') + "\r\n", info), 400, "请求过大"},
      {"unknown path", "GET /index.php?g=Admin HTTP/1.0\r\n\r\n", 404, "未知请求"},
      {"two requests in one", ProgramRequest(port_, "getInfo", info) + ProgramRequest(port_, "getInfo", info), 200,
       "未登录或服务已到期"},
  };
  for (const auto& c : refused) {
    const Answer answer = ReadAnswer(Exchange(c.request));
    EXPECT_EQ(1, answer.replies) << c.name;
    EXPECT_EQ(c.http, answer.http) << c.name;
    EXPECT_EQ(0, answer.status) << c.name;
    EXPECT_EQ(c.info, answer.info) << c.name;
    EXPECT_EQ(std::string::npos, answer.head.find("EXCEPTION")) << c.name << "\n" << answer.head;
  }

  // A request line without an end: the service answers, stops reading and closes long before
  // 64 MB have been sent, and its memory stays small.
  {
    Sockets endless;
    endless.fds.push_back(ConnectFrom(port_, OtherClient(0)));
    ASSERT_GE(endless.fds[0], 0);
    timeval wait{5, 0};
    setsockopt(endless.fds[0], SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    const std::string chunk(64 * 1024, 'A');
    size_t sent = 0;
    bool closed = !SendAll(endless.fds[0], "POST /index.php?g=Api&m=Client&a=login");
    while (!closed && sent < 64u * 1024 * 1024) {
      const ssize_t n = send(endless.fds[0], chunk.data(), chunk.size(), MSG_NOSIGNAL);
      if (n <= 0) closed = errno == EPIPE || errno == ECONNRESET;
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    EXPECT_TRUE(closed) << "sent " << sent << " bytes without the connection being closed";
    const long peakKb = PeakMemoryKb(service_->Pid());
    EXPECT_GT(peakKb, 0);
    EXPECT_LT(peakKb, 64 * 1024) << "peak memory in kB";
    std::printf("endless request line: closed after %zu bytes; service peak memory %ld kB\n", sent, peakKb);
  }

  // A crowd from other addresses: 1 000 idle connections (50 from each of 20 addresses) and
  // 40 that drip their head a line at a time. The program's getInfo from 127.0.0.1 is still
  // answered, each time while the whole crowd is still held open.
  {
    Sockets crowd;
    for (int i = 0; i < 1000; ++i) crowd.fds.push_back(ConnectFrom(port_, OtherClient(i / 50)));
    std::vector<int> drips;
    for (int i = 0; i < 40; ++i) {
      drips.push_back(ConnectFrom(port_, OtherClient(20 + i)));
      crowd.fds.push_back(drips.back());
      SendAll(drips.back(), "POST /index.php?g=Api&m=Client&a=getInfo HTTP/1.0\r\n");
    }
    for (int fd : crowd.fds) ASSERT_GE(fd, 0);
    for (int round = 0; round < 3; ++round) {
      for (int fd : drips) SendAll(fd, "X-Drip-" + std::to_string(round) + ": slow\r\n");
      const auto start = Clock::now();
      const Answer answer = ReadAnswer(Exchange(ProgramRequest(port_, "getInfo", info)));
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      EXPECT_EQ(200, answer.http) << "round " << round;
      EXPECT_EQ("未登录或服务已到期", answer.info) << "round " << round;
      size_t open = 0;
      for (int fd : crowd.fds) open += StillOpen(fd) ? 1 : 0;
      EXPECT_EQ(crowd.fds.size(), open) << "round " << round << ": the crowd was let go before getInfo was answered";
      std::printf("getInfo beside %zu idle and slow connections: %.1f ms\n", open, ms);
    }
  }

  // A stop with 50 idle connections open: they are closed at once and the service ends.
  {
    Sockets idle;
    for (int i = 0; i < 50; ++i) idle.fds.push_back(ConnectFrom(port_, OtherClient(i % 5)));
    ASSERT_EQ("未登录或服务已到期", ReadAnswer(Exchange(ProgramRequest(port_, "getInfo", info))).info);
    const auto start = Clock::now();
    EXPECT_EQ(0, service_->StopWithin(SIGTERM, 10)) << "not ended within 10 s of SIGTERM";
    std::printf("ended %.0f ms after SIGTERM with 50 idle connections\n",
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    for (int fd : idle.fds) EXPECT_EQ("", ReadUntilClosed(fd, 1)) << "closed without an answer";
  }
}
