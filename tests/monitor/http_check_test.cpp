// The real WinINet check against a local server: statuses, redirections, refused and
// malformed addresses, servers that never answer, and abandoning a check.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "local_http_server.h"
#include "monitor/http_check.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::StatusReply;

namespace {

constexpr unsigned long kShortTimeoutMs = 1500;

HttpReply Reply(const HttpRequest& request) {
  const std::string& t = request.target;
  if (t == "/hang") return test_support::ModeReply(HttpReply::Mode::kHang);
  if (t == "/moved") {
    HttpReply reply = StatusReply(301);
    reply.headers.push_back("Location: /ok");
    return reply;
  }
  if (t == "/odd") {
    HttpReply reply;
    reply.raw = "HTTP/1.1 601 Odd\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    return reply;
  }
  if (t.rfind("/status/", 0) == 0) return StatusReply(std::stoi(t.substr(8)));
  return StatusReply(200, "fine");
}

TEST(HttpCheck, ReadsTheFinalStatusOfEachAddress) {
  LocalHttpServer server(Reply);
  const std::wstring base = server.Url("");
  const std::wstring hostPort = base.substr(std::wstring(L"http://").size());
  const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(test_support::ClosedLocalPort()) + L"/";
  struct Case {
    std::wstring url;
    HttpCheckResult result;
    int status;
  };
  const Case cases[] = {
      {base + L"/ok", HttpCheckResult::kStatusRead, 200},
      {base, HttpCheckResult::kStatusRead, 200},
      {base + L"/moved", HttpCheckResult::kStatusRead, 200},
      {base + L"/status/304", HttpCheckResult::kStatusRead, 304},
      {base + L"/status/404", HttpCheckResult::kStatusRead, 404},
      {base + L"/status/410", HttpCheckResult::kStatusRead, 410},
      {base + L"/status/500", HttpCheckResult::kStatusRead, 500},
      {base + L"/status/503", HttpCheckResult::kStatusRead, 503},
      {base + L"/odd", HttpCheckResult::kStatusRead, 601},
      {refused, HttpCheckResult::kOpenFailed, 0},
      {hostPort + L"/ok", HttpCheckResult::kOpenFailed, 0},
      {L"\t" + base + L"/ok", HttpCheckResult::kOpenFailed, 0},
      {base + L"/ok\nhttp://127.0.0.1/", HttpCheckResult::kOpenFailed, 0},
      {L"ftp://127.0.0.1/", HttpCheckResult::kOpenFailed, 0},
      {L"", HttpCheckResult::kOpenFailed, 0},
  };
  for (const auto& c : cases) {
    const HttpCheckOutcome outcome = CheckAddress(c.url, kShortTimeoutMs);
    EXPECT_EQ(c.result, outcome.result) << std::string(c.url.begin(), c.url.end());
    EXPECT_EQ(c.status, outcome.status) << std::string(c.url.begin(), c.url.end());
  }
  // Only the well-formed http addresses reached the server (the redirect twice).
  EXPECT_EQ(10u, server.RequestCount());
}

TEST(HttpCheck, SendsOneFreshGetOfPathAndQuery) {
  LocalHttpServer server(Reply);
  ASSERT_EQ(200, CheckAddress(server.Url("/a/b?x=1&y=%41#part"), kShortTimeoutMs).status);
  const auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("GET", requests[0].method);
  EXPECT_EQ("/a/b?x=1&y=%41", requests[0].target);
  EXPECT_EQ("127.0.0.1:" + std::to_string(server.Port()), requests[0].Header("Host"));
  // The request as the server receives it: an accept line (servers may refuse a request
  // without one) and no user agent.
  const std::string head = requests[0].raw.substr(0, requests[0].raw.find("\r\n\r\n"));
  std::printf("%s\n", head.c_str());
  EXPECT_NE(std::string::npos, head.find("\r\nAccept: */*\r\n")) << head;
  EXPECT_EQ("", requests[0].Header("User-Agent"));
  // What the wire does not show: redirections between http and https are followed on a
  // system set to warn about them (Wine follows them either way).
  for (const bool secure : {false, true}) {
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                        INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | (secure ? INTERNET_FLAG_SECURE : 0);
    EXPECT_EQ(flags, SiteCheckRequestFlags(secure));
  }
  // The same address checked again goes to the server again: nothing is cached.
  CheckAddress(server.Url("/a/b?x=1&y=%41"), kShortTimeoutMs);
  EXPECT_EQ(2u, server.RequestCount());
}

TEST(HttpCheck, AServerThatNeverAnswersFailsAtTheTimeOut) {
  LocalHttpServer server(Reply);
  const DWORD start = GetTickCount();
  const HttpCheckOutcome outcome = CheckAddress(server.Url("/hang"), kShortTimeoutMs);
  const DWORD took = GetTickCount() - start;
  EXPECT_EQ(HttpCheckResult::kOpenFailed, outcome.result);
  EXPECT_EQ(1u, server.RequestCount());
  std::printf("check of a silent server gave up after %lu ms (time-out %lu ms)\n", took, kShortTimeoutMs);
}

// Results on the pool and giving up on stop or quit are the pooled check's table
// (check_path_test).
TEST(AbandonableCheck, WaitsForTheResult) {
  LocalHttpServer server(Reply);
  std::atomic<bool> stop{false}, quit{false};
  const HttpCheckOutcome silent = RunAbandonableCheck(server.Url("/hang"), kShortTimeoutMs, stop, quit);
  EXPECT_EQ(HttpCheckResult::kOpenFailed, silent.result);
  // A pool with no room for the check: it runs on the waiting thread instead.
  const PoolQueue refuse = [](PTP_SIMPLE_CALLBACK, void*) { return false; };
  const HttpCheckOutcome here = RunAbandonableCheck(server.Url("/status/503"), kShortTimeoutMs, stop, quit, refuse);
  EXPECT_EQ(HttpCheckResult::kStatusRead, here.result);
  EXPECT_EQ(503, here.status);
}

TEST(AbandonableCheck, ProcessMayEndWhileAnAbandonedRequestIsBlocked) {
  // A listener that never accepts: the connection completes in the backlog and the request
  // waits for an answer that never comes. It is deliberately left open, so the request
  // thread is still blocked when this test program exits.
  WSADATA wsa;
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
  ASSERT_EQ(0, listen(listener, 4));
  int len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) + L"/";

  std::atomic<bool> stop{false}, quit{false};
  std::thread raiser([&] {
    Sleep(300);
    quit = true;
  });
  EXPECT_EQ(HttpCheckResult::kAbandoned, RunAbandonableCheck(url, 60000, stop, quit).result);
  raiser.join();
}

}  // namespace
