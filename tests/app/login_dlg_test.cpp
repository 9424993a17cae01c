// The sign-in dialog on real windows, signing in against the local test service: input
// refusals, accepted and refused replies, transport failures, the signed-in view and the
// request on the wire.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/sign_in/signed_in_text.h"
#include "login_dlg_fixture.h"
#include "version.h"

namespace {

using namespace login_test;

TEST_F(LoginDialogTest, OpensInTheInputViewWithTheStoredUserName) {
  Open();
  EXPECT_EQ(L"old@x.cn", Text(IDC_LOGIN_USER));
  EXPECT_EQ(L"", Text(IDC_LOGIN_PASSWORD));
  EXPECT_EQ(L"登录", Text(IDOK));
  EXPECT_FALSE(Shown(IDC_LOGIN_STATUS));
  EXPECT_FALSE(Shown(IDC_LOGIN_SIGNED_IN));
  // The signed-in text covers the middle half of the client area.
  RECT client{};
  RECT text{};
  ::GetClientRect(Dialog(), &client);
  ::GetWindowRect(Item(IDC_LOGIN_SIGNED_IN), &text);
  ::MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&text), 2);
  const int h = client.bottom;
  EXPECT_EQ(0, text.left);
  EXPECT_EQ((h - h / 2) / 2, text.top);
  EXPECT_EQ(h / 2, text.bottom - text.top);
}

TEST_F(LoginDialogTest, RefusedInputIsShownAndNothingIsSent) {
  Open();
  const struct {
    std::wstring name;
    std::wstring password;
    const wchar_t* notice;
    int focus;
  } cases[] = {
      {L"", L"", L"用户名(邮箱)不能为空", IDC_LOGIN_USER},
      {L"u@x.cn", L"123", L"密码必须是4-20位的字符！", IDC_LOGIN_PASSWORD},
      {std::wstring(77, L'a') + L"@x.com", L"pass1234", L"用户名(邮箱)太长!", IDC_LOGIN_USER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name.size());
    Type(c.name, c.password);
    ::SetFocus(Item(IDOK));
    Press(IDOK);
    EXPECT_TRUE(Shown(IDC_LOGIN_STATUS));
    EXPECT_EQ(c.notice, Text(IDC_LOGIN_STATUS));
    EXPECT_EQ(Item(c.focus), ::GetFocus());
    EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
  }
  EXPECT_EQ(0u, server_.RequestCount());
  // The notice goes away with timer 1.
  ::SendMessageW(Dialog(), WM_TIMER, 1, 0);
  EXPECT_FALSE(Shown(IDC_LOGIN_STATUS));
}

TEST_F(LoginDialogTest, AcceptedSignInShowsTheSignedInView) {
  for (int32_t expire : {1767225600, 0, -86400}) {
    SCOPED_TRACE(expire);
    g_accountStates.clear();
    g_bSignedIn = false;
    Open();
    Reply(Json(R"({"status":1,"time":1700000000,"expire":)" + std::to_string(expire) + "}", 200));
    SignIn(L"u@x.cn", L"pass1234");

    EXPECT_EQ(L"登录成功", Text(IDC_LOGIN_STATUS));
    EXPECT_TRUE(Shown(IDC_LOGIN_SIGNED_IN));
    EXPECT_EQ(SignedInText(L"u@x.cn", LocalToday(), *LocalDateOf(expire)), Text(IDC_LOGIN_SIGNED_IN));
    EXPECT_EQ(L"重新登录", Text(IDOK));
    for (int id : {IDC_LOGIN_USER, IDC_LOGIN_PASSWORD, IDC_LOGIN_USER_LABEL, IDC_LOGIN_PASSWORD_LABEL})
      EXPECT_FALSE(Shown(id));
    EXPECT_TRUE(g_bSignedIn);
    EXPECT_EQ(std::vector<WPARAM>{kAccountSignedIn}, g_accountStates);
    // What the reply does to the record is LoginRequest's (login_request_test); the dialog
    // sends the typed input with its machine identifier and keeps the result.
    const HttpRequest request = server_.Requests().back();
    EXPECT_EQ("/index.php?g=Api&m=Client&a=login", request.target);
    EXPECT_EQ("username=u@x.cn&pwd=cGFzczEyMzQ=&id=MID-1&softtype=2&ver=" TARN_VERSION_TEXT, request.body);
    EXPECT_EQ(L"MID-1", ReadField(dialog_->Record().machineId));
    EXPECT_EQ(expire, dialog_->Record().expireTime);

    // "重新登录" goes back to the input, which kept what was typed.
    Press(IDOK);
    EXPECT_EQ(L"登录", Text(IDOK));
    EXPECT_FALSE(Shown(IDC_LOGIN_SIGNED_IN));
    EXPECT_TRUE(Shown(IDC_LOGIN_USER));
    EXPECT_EQ(L"u@x.cn", Text(IDC_LOGIN_USER));
    EXPECT_EQ(L"pass1234", Text(IDC_LOGIN_PASSWORD));
    ::DestroyWindow(Dialog());
  }
}

// Signed in before: the dialog opens on the signed-in view with today and the stored
// expiry, and the refusal signs out.
TEST_F(LoginDialogTest, RefusedSignInShowsTheServiceTextAndKeepsTheTypedName) {
  g_bSignedIn = true;
  Open();
  EXPECT_EQ(L"重新登录", Text(IDOK));
  EXPECT_TRUE(Shown(IDC_LOGIN_SIGNED_IN));
  EXPECT_FALSE(Shown(IDC_LOGIN_USER));
  EXPECT_EQ(SignedInText(L"old@x.cn", LocalToday(), *LocalDateOf(123)), Text(IDC_LOGIN_SIGNED_IN));
  Press(IDOK);  // from the signed-in view back to the input
  Reply(Json(R"({"status":0,"time":5,"expire":99,"info":"密码错误"})"));
  SignIn(L"new@x.cn", L"wrong-pw");

  EXPECT_TRUE(Shown(IDC_LOGIN_STATUS));
  EXPECT_EQ(L"密码错误", Text(IDC_LOGIN_STATUS));
  EXPECT_EQ(L"登录", Text(IDOK));
  EXPECT_FALSE(Shown(IDC_LOGIN_SIGNED_IN));
  EXPECT_FALSE(g_bSignedIn);
  EXPECT_EQ(std::vector<WPARAM>{kAccountSignedOut}, g_accountStates);
  EXPECT_EQ(L"new@x.cn", ReadField(dialog_->Record().userName));
  EXPECT_EQ(1, dialog_->Record().loginFailed);
}

TEST_F(LoginDialogTest, FailedExchangesLeaveTheRecordAndTheFlag) {
  const struct {
    HttpReply reply;
    bool closedPort;
    const wchar_t* notice;
  } cases[] = {
      {test_support::StatusReply(500, "{}"), false, L"登录失败，请重试"},
      {Json("not json"), false, L"登录失败，请重试"},
      {Json(""), true, L"与服务器中断，请重试"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.notice);
    endpoint_.port = c.closedPort ? test_support::ClosedLocalPort() : server_.Port();
    Open();
    Reply(c.reply);
    SignIn(L"u@x.cn", L"pass1234");
    EXPECT_EQ(c.notice, Text(IDC_LOGIN_STATUS));
    const SettingsRecord before = StartingRecord();
    EXPECT_EQ(0, std::memcmp(&dialog_->Record(), &before, sizeof(SettingsRecord)));
    EXPECT_FALSE(g_bSignedIn);
    EXPECT_TRUE(g_accountStates.empty());
    EXPECT_EQ(L"登录", Text(IDOK));
    ::DestroyWindow(Dialog());
  }
}

}  // namespace
