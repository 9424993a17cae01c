// Hostile answers from the account service through the real exchange: huge and binary
// bodies and broken status lines end in a result code, never in a crash or a hang, and a
// body that arrives is handed over whole and zero-terminated.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "local_http_server.h"
#include "account/reply_document.h"
#include "account/service_post.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;

namespace {

HttpReply Raw(std::string bytes) {
  HttpReply reply;
  reply.raw = std::move(bytes);
  return reply;
}

std::string RandomBytes(unsigned seed, size_t size) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(HostileService, AnswersOfAnySizeAndShape) {
  const std::string tenMegabytes =
      "{\"status\":1,\"info\":\"" + std::string(10 * 1024 * 1024, 'i') + "\",\"time\":5}";
  const std::string binary = RandomBytes(99, 256 * 1024);
  enum Expect { kBody, kRefused, kEither };
  const struct {
    const char* name;
    HttpReply reply;
    Expect expect;
    std::string body;  // for kBody: exactly what must arrive
  } cases[] = {
      {"ten megabyte reply", test_support::StatusReply(200, tenMegabytes), kBody, tenMegabytes},
      {"binary body with NULs", test_support::StatusReply(200, binary), kBody, binary},
      {"status 206, empty body", test_support::StatusReply(206, ""), kBody, ""},
      {"letters for a status", Raw("HTTP/1.1 abc OK\r\nContent-Length: 2\r\n\r\n{}"), kRefused, ""},
      {"negative status", Raw("HTTP/1.1 -200 OK\r\nContent-Length: 2\r\n\r\n{}"), kRefused, ""},
      {"twenty-digit status", Raw("HTTP/1.1 99999999999999999999 OK\r\nContent-Length: 2\r\n\r\n{}"), kRefused,
       ""},
      {"status 2000", Raw("HTTP/1.1 2000 OK\r\nContent-Length: 2\r\n\r\n{}"), kRefused, ""},
      {"status with a NUL", Raw(std::string("HTTP/1.1 2\0" "00 OK\r\n\r\n{}", 23)), kEither, ""},
      {"no status line", Raw("{\"status\":1}\r\n\r\n"), kEither, ""},
      {"random bytes for an answer", Raw(RandomBytes(7, 4096)), kEither, ""},
      {"a lone line feed", Raw("\n"), kEither, ""},
      {"header without end", Raw("HTTP/1.1 200 OK\r\nX: " + std::string(200000, 'h')), kEither, ""},
      {"closed without a byte", test_support::ModeReply(HttpReply::Mode::kCloseAtOnce), kRefused, ""},
  };
  for (const auto& c : cases) {
    LocalHttpServer server([&](const HttpRequest&) { return c.reply; });
    ServiceEndpoint endpoint;
    endpoint.host = L"127.0.0.1";
    endpoint.port = server.Port();
    endpoint.timeoutMs = 5000;
    const DWORD start = GetTickCount();
    const ServiceReply reply = ServicePost(L"index.php?g=Api&m=Client&a=getInfo", L"username=u", endpoint);
    const DWORD took = GetTickCount() - start;
    std::printf("%-28s code %d, %zu body bytes, %lu ms\n", c.name, reply.code, reply.body.Length(), took);
    EXPECT_LT(took, 20000u) << c.name;
    EXPECT_GE(reply.code, kPostSendFailed) << c.name;
    EXPECT_LE(reply.code, kPostOk) << c.name;
    // Whatever came, the text handed on is zero-terminated inside its buffer.
    ASSERT_LT(reply.body.Length(), reply.body.Capacity()) << c.name;
    EXPECT_EQ('\0', reply.body.Text()[reply.body.Length()]) << c.name;
    if (reply.code != kPostOk) {
      EXPECT_EQ(0u, reply.body.Length()) << c.name;
    }
    if (c.expect == kBody) {
      ASSERT_EQ(kPostOk, reply.code) << c.name;
      ASSERT_EQ(c.body.size(), reply.body.Length()) << c.name;
      EXPECT_EQ(0, std::memcmp(c.body.data(), reply.body.Text(), c.body.size())) << c.name;
    } else if (c.expect == kRefused) {
      EXPECT_NE(kPostOk, reply.code) << c.name;
    }
    ReplyDocument doc;
    const bool parsed = doc.Parse(reply.body.Text());
    const int32_t status = doc.GetInt("status", 0);
    const wchar_t* info = doc.GetText("info", L"");
    if (c.body == tenMegabytes) {
      EXPECT_TRUE(parsed);
      EXPECT_EQ(1, status);
      EXPECT_EQ(5, doc.GetInt("time", 0));
      EXPECT_EQ(10u * 1024 * 1024, std::wcslen(info));
    }
  }
}

}  // namespace
