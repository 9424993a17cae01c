// The sign-in request: the reply's effect on the settings record and the
// signed-in flag, driven by a scripted service.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "fake_service.h"
#include "account/account_forms.h"
#include "account/login_request.h"
#include "storage/settings_fields.h"

using service_test::FakeTransport;
using service_test::Reply;

namespace {

const char kAccepted[] = R"({"status":1,"info":"ok"})";

// An accepted reply fills the record's account fields and signs in; a refused one keeps
// the typed name, counts the failure and signs out. Other fields stay as they were.
TEST(LoginRequest, TheReplyDecidesTheRecordAndTheFlag) {
  const struct {
    const char* body;
    int code;
    const wchar_t* info;
    bool signedIn;
    int32_t serviceTime, expireTime, loginFailed;
  } cases[] = {
      {R"({"status":1,"time":100,"expire":200,"info":"ignored"})", 1, L"登录成功", true, 100, 200, 0},
      {R"({"status":0,"time":100,"expire":200,"info":"密码错误"})", 0, L"密码错误", false, 5, 0, 1},
      {R"({"status":"no"})", 0, L"", false, 5, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    FakeTransport transport({Reply(kPostOk, c.body)});
    const LoginResult result = LoginRequest(L"me@x.cn", L"密码", L"MID", 2, transport);
    ASSERT_EQ(1u, transport.posts.size());
    EXPECT_EQ(kLoginPath, transport.posts[0].path);
    EXPECT_EQ(c.code, result.code);
    EXPECT_EQ(c.info, result.info);

    SettingsRecord record{};
    record.serviceTime = 5;
    record.expireTime = 9;
    record.loginFailed = 1 - c.loginFailed;
    record.intervalSeconds = 60;
    std::atomic<bool> signedIn{!c.signedIn};
    ApplyLoginResult(result, record, signedIn);
    EXPECT_EQ(c.signedIn, signedIn);
    EXPECT_EQ(c.serviceTime, record.serviceTime);
    EXPECT_EQ(c.expireTime, record.expireTime);
    EXPECT_EQ(c.loginFailed, record.loginFailed);
    EXPECT_EQ(L"me@x.cn", ReadField(record.userName));
    EXPECT_EQ(60, record.intervalSeconds);
    EXPECT_EQ(L"MID", ReadField(record.machineId));  // any parsed reply stores these two
    EXPECT_EQ(2, record.softType);
  }
}

TEST(LoginRequest, FailuresAreReportedByCodeAndChangeNothing) {
  const struct {
    int post;
    const char* body;
    int code;
  } cases[] = {
      {kPostSessionFailed, "", -5}, {kPostConnectFailed, "", -4}, {kPostRequestFailed, "", -3},
      {kPostSendFailed, "", -2},    {kPostBadStatus, "", -1},     {kPostOk, "", -1},
      {kPostOk, "null", -1},
  };
  for (const auto& c : cases) {
    FakeTransport transport({Reply(c.post, c.body)});
    const LoginResult result = LoginRequest(L"me@x.cn", L"pass", L"MID", 2, transport);
    EXPECT_EQ(c.code, result.code);
    SettingsRecord record{};
    record.expireTime = 9;
    std::atomic<bool> signedIn{true};
    ApplyLoginResult(result, record, signedIn);
    EXPECT_TRUE(signedIn);
    EXPECT_EQ(9, record.expireTime);
    EXPECT_EQ(0, record.softType);
  }
}

TEST(LoginRequest, RefusesANameTheRecordCannotHold) {
  FakeTransport transport({Reply(kPostOk, kAccepted)});
  const LoginResult result =
      LoginRequest(std::wstring(79, L'a') + L"@b.c", L"pass", L"MID", 2, transport);
  EXPECT_EQ(kPostRequestFailed, result.code);
  EXPECT_TRUE(transport.posts.empty());

  // A machine identifier longer than its field is cut when stored, never inside a
  // surrogate pair (U+20000 straddles the cut here).
  FakeTransport ok({Reply(kPostOk, kAccepted)});
  const LoginResult accepted =
      LoginRequest(L"a@b.c", L"pass", std::wstring(19, L'm') + L"\xD840\xDC00" + L"mm", 2, ok);
  SettingsRecord record{};
  std::atomic<bool> signedIn{false};
  ApplyLoginResult(accepted, record, signedIn);
  EXPECT_EQ(std::wstring(19, L'm'), ReadField(record.machineId));
  EXPECT_EQ(L"a@b.c", ReadField(record.userName));
}

}  // namespace
