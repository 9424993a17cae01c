// The real exchange over WinINet against a local test service: the bytes on the wire,
// the result codes, reply reading, time-outs, abandoning, and the window reports.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "local_http_server.h"
#include "message_window.h"
#include "wait_until.h"
#include "account/account_forms.h"
#include "account/account_messages.h"
#include "account/password.h"
#include "account/send_reminder.h"
#include "account/service_info.h"
#include "account/service_post.h"
#include "version.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::ModeReply;
using test_support::StatusReply;

namespace {

ServiceEndpoint Local(unsigned short port, unsigned long timeoutMs = 5000) {
  ServiceEndpoint endpoint;
  endpoint.host = L"127.0.0.1";
  endpoint.port = port;
  endpoint.timeoutMs = timeoutMs;
  return endpoint;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ServicePost, SendsTheFixedRequest) {
  ASSERT_EQ(936u, GetACP()) << "the tests run with the Chinese ANSI code page";
  LocalHttpServer server([](const HttpRequest&) { return StatusReply(200, R"({"status":1})"); });
  const std::string pwd = EncodePassword(L"密码");
  const struct {
    const wchar_t* path;
    std::wstring form;
    const char* target;
    std::string body;  // as the service receives it, in code page 936
  } cases[] = {
      {kLoginPath, *BuildLoginForm(L"用户&a=b+c@x.cn", pwd, L"MID", 2),
       "/index.php?g=Api&m=Client&a=login",
       "username=\xD3\xC3\xBB\xA7&a=b+c@x.cn&pwd=5a+G56CB&id=MID&softtype=2&ver=" TARN_VERSION_TEXT},
      {kServiceInfoPath, *BuildServiceInfoForm(L"", L"MID", 2),
       "/index.php?g=Api&m=Client&a=getInfo", "username=&id=MID&softtype=2&ver=" TARN_VERSION_TEXT},
      {kReminderPath, *BuildReminderForm(L"u@x.cn", L"MID", 2, 1, 12029, L"http://a/?q=\u0E01&r=1"),
       "/index.php?g=Api&m=Client&a=sendMsg",
       "username=u@x.cn&id=MID&softtype=2&ver=" TARN_VERSION_TEXT "&tpl=1&code=12029&url=http://a/?q=?&r=1"},
  };
  for (const auto& c : cases) {
    const size_t before = server.RequestCount();
    const ServiceReply reply = ServicePost(c.path, c.form, Local(server.Port()));
    EXPECT_EQ(kPostOk, reply.code);
    EXPECT_STREQ(R"({"status":1})", reply.body.Text());
    ASSERT_EQ(before + 1, server.RequestCount());
    const HttpRequest request = server.Requests().back();
    EXPECT_EQ("POST", request.method);
    EXPECT_EQ(c.target, request.target);
    EXPECT_EQ("HTTP/1.0", request.version);
    EXPECT_EQ(c.body, request.body);
    EXPECT_EQ(std::to_string(c.body.size()), request.Header("Content-Length"));
    EXPECT_EQ("application/x-www-form-urlencoded", request.Header("Content-Type"));
    EXPECT_EQ("Lumacorn", request.Header("User-Agent"));
    EXPECT_EQ("*/*", request.Header("Accept"));
    EXPECT_EQ("no-cache", request.Header("Cache-Control"));
    EXPECT_EQ("127.0.0.1:" + std::to_string(server.Port()), request.Header("Host"));
    EXPECT_EQ("", request.Header("Connection"));
  }
  // The accept list's entry keeps its leading space on the wire.
  const std::string head = server.Requests().front().raw;
  EXPECT_NE(std::string::npos, head.find("\r\nAccept:  */*\r\n"));
  std::cout << head.substr(0, head.find("\r\n\r\n")) << "\n";
}

TEST(ServicePost, AcceptsOnlyStatus200To206) {
  const struct {
    int status;
    int code;
  } cases[] = {{200, kPostOk}, {204, kPostOk}, {206, kPostOk},     {199, kPostBadStatus},
               {207, kPostBadStatus}, {301, kPostBadStatus}, {404, kPostBadStatus},
               {500, kPostBadStatus}};
  for (const auto& c : cases) {
    LocalHttpServer server([&](const HttpRequest&) {
      return StatusReply(c.status, c.status == 204 ? "" : R"({"status":1})");
    });
    const ServiceReply reply = ServicePost(kServiceInfoPath, L"a=1", Local(server.Port()));
    EXPECT_EQ(c.code, reply.code) << c.status;
    if (c.code == kPostOk && c.status != 204) {
      EXPECT_STREQ(R"({"status":1})", reply.body.Text()) << c.status;
    } else {
      EXPECT_EQ(0u, reply.body.Length()) << c.status;  // a refused reply's body is not read
    }
    EXPECT_EQ(1u, server.RequestCount()) << c.status;
  }
}

TEST(ServicePost, ReportsTransportFailures) {
  // A refused port: WinINet reports the failure at the send.
  const ServiceReply refused =
      ServicePost(kServiceInfoPath, L"a=1", Local(test_support::ClosedLocalPort()));
  std::cout << "refused port gives " << refused.code << "\n";
  EXPECT_TRUE(refused.code == kPostSendFailed || refused.code == kPostConnectFailed);

  // A service that accepts the connection and never answers: the request time-out ends it.
  LocalHttpServer hung([](const HttpRequest&) { return ModeReply(HttpReply::Mode::kHang); });
  const auto start = std::chrono::steady_clock::now();
  const ServiceReply timedOut = ServicePost(kServiceInfoPath, L"a=1", Local(hung.Port(), 1500));
  const double seconds = SecondsSince(start);
  std::cout << "hung service gave up after " << seconds << " s\n";
  EXPECT_EQ(kPostSendFailed, timedOut.code);
  EXPECT_LT(seconds, 20.0);  // not the 30-s production time-out, and never for ever

  // The connection closed without a byte.
  LocalHttpServer closing([](const HttpRequest&) { return ModeReply(HttpReply::Mode::kCloseAtOnce); });
  // WinINet counts the send as done and finds no status line, which reads as status 0.
  const int closed = ServicePost(kServiceInfoPath, L"a=1", Local(closing.Port())).code;
  std::cout << "connection closed without a reply gives " << closed << "\n";
  EXPECT_TRUE(closed == kPostBadStatus || closed == kPostSendFailed);

  ServiceEndpoint badHost = Local(80);
  badHost.host = L"";
  const int noHost = ServicePost(kServiceInfoPath, L"a=1", badHost).code;
  std::cout << "empty host gives " << noHost << "\n";
  EXPECT_LT(noHost, 0);
}

TEST(ServicePostAbandonable, ReturnsTheReplyOrGivesUpOnQuit) {
  LocalHttpServer server([](const HttpRequest& r) {
    return r.body == "hang=1" ? ModeReply(HttpReply::Mode::kHang) : StatusReply(200, R"({"status":1})");
  });
  std::atomic<bool> quit{false};
  const ServiceReply ok = ServicePostAbandonable(kLoginPath, L"a=1", Local(server.Port()), quit);
  EXPECT_EQ(kPostOk, ok.code);
  EXPECT_STREQ(R"({"status":1})", ok.body.Text());

  std::thread closer([&] {
    test_support::WaitUntil([&] { return server.RequestCount() >= 2; });
    Sleep(200);
    quit = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const ServiceReply abandoned =
      ServicePostAbandonable(kLoginPath, L"hang=1", Local(server.Port(), 30000), quit);
  const double seconds = SecondsSince(start);
  closer.join();
  std::cout << "abandoned after " << seconds << " s\n";
  EXPECT_EQ(kPostSendFailed, abandoned.code);
  EXPECT_LT(seconds, 10.0);

  // Already quitting: nothing is sent.
  const size_t before = server.RequestCount();
  EXPECT_EQ(kPostSendFailed,
            ServicePostAbandonable(kLoginPath, L"a=1", Local(server.Port()), quit).code);
  EXPECT_EQ(before, server.RequestCount());
  server.Stop();  // ends the hung exchange; its thread finishes on its own
}

TEST(SendReminder, RetriesAgainstARealService) {
  int calls = 0;
  LocalHttpServer server([&](const HttpRequest&) {
    ++calls;
    return calls == 1 ? StatusReply(500) : StatusReply(200, R"({"status":"1"})");
  });
  SettingsStore store;
  WinInetTransport transport(Local(server.Port()));
  std::atomic<bool> quit{false};
  int sleeps = 0;
  const ReminderSeams seams{transport, [&](unsigned long) { ++sleeps; }, quit};
  EXPECT_TRUE(SendReminder(store, L"MID", L"http://site/", 500, 1, seams));
  EXPECT_EQ(2u, server.RequestCount());
  EXPECT_EQ(9, sleeps);
}

// Records the WM_ACCOUNTSTATE messages it gets, standing in for the main window.
struct AccountWindow {
  static inline std::vector<std::wstring> received;

  AccountWindow()
      : window([](UINT msg, WPARAM wp, LPARAM lp) {
          if (msg != WM_ACCOUNTSTATE) return false;
          std::wstring entry = std::to_wstring(wp);
          if (wp == kAccountNotice) entry += L":" + std::wstring(reinterpret_cast<const wchar_t*>(lp));
          received.push_back(entry);
          return true;
        }),
        hwnd(window.Get()) {}

  test_support::MessageWindow window;
  HWND hwnd;
};

TEST(ServiceInfoPoller, ReportsToTheMainWindowOverTheNetwork) {
  LocalHttpServer server([](const HttpRequest&) {
    return StatusReply(200, R"({"status":1,"update":1,"notice_id":3,"notice_text":"服务通知内容"})");
  });
  AccountWindow window;
  ASSERT_TRUE(window.hwnd);
  AccountWindow::received.clear();
  auto store = std::make_shared<SettingsStore>();
  WinInetTransport transport(Local(server.Port()));
  WindowAccountSink sink(window.hwnd);
  std::atomic<bool> signedIn{false};
  ServiceInfoPoller poller(store, L"MID", transport, sink, signedIn);

  // The poller runs on its own thread; the notice is sent, so this thread keeps pumping.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    poller.RequestOnce();
    done = true;
  });
  EXPECT_TRUE(test_support::WaitUntil([&] { return done.load(); }, 30000));
  worker.join();
  test_support::PumpMessages();
  // The posted states keep their order; the sent notice may overtake them.
  auto received = AccountWindow::received;
  std::sort(received.begin(), received.end());
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"100:服务通知内容", L"120"}), received);
  EXPECT_TRUE(signedIn);
  EXPECT_EQ(3, store->Snapshot().lastNoticeId);

  // Once the window is gone, reports go nowhere and nothing blocks.
  DestroyWindow(window.hwnd);
  sink.PostState(kAccountSignedIn);
  sink.SendNotice(L"nobody listens");
  EXPECT_EQ(3u, AccountWindow::received.size());
}

}  // namespace
