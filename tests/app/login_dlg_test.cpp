// The sign-in dialog on real windows, signing in against the local test service: input
// refusals, accepted and refused replies, transport failures, the signed-in view, the
// request on the wire, and closing the dialog while a slow sign-in runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/login_dlg.h"
#include "app/sign_in_flow.h"
#include "app/signed_in_text.h"
#include "local_http_server.h"
#include "flags/process_flags.h"
#include "account/account_messages.h"
#include "storage/settings_fields.h"

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;

namespace {

// The main window's part: it records every WM_ACCOUNTSTATE it is sent.
std::vector<WPARAM> g_accountStates;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACCOUNTSTATE) g_accountStates.push_back(wParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeParent() {
  static const ATOM kClass = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnLoginTestParent";
    return ::RegisterClassW(&wc);
  }();
  return ::CreateWindowExW(0, MAKEINTATOM(kClass), L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500,
                           400, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(5);
  }
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(window, buffer, 512);
  return buffer;
}

SettingsRecord StartingRecord() {
  SettingsRecord record{};
  record.intervalSeconds = 300;
  record.retryCount = 2;
  record.retryIntervalSeconds = 60;
  record.emailReminder = 1;
  record.lastNoticeId = 4;
  record.softType = 2;
  record.serviceTime = 11;
  record.expireTime = 123;
  CopyToField(record.machineId, L"OLD-ID", FieldFit::kRefuse);
  CopyToField(record.userName, L"old@x.cn", FieldFit::kRefuse);
  return record;
}

class LoginDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_bSignedIn = false;
    g_accountStates.clear();
    parent_ = MakeParent();
    endpoint_.host = L"127.0.0.1";
    endpoint_.port = server_.Port();
    endpoint_.timeoutMs = 5000;
  }
  void TearDown() override {
    if (dialog_) ::DestroyWindow(dialog_->m_hWnd);
    dialog_.reset();
    ::DestroyWindow(parent_);
    server_.Stop();
    g_bSignedIn = false;
  }

  void Reply(HttpReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    reply_ = std::move(reply);
  }
  static HttpReply Json(const std::string& body, int delayMs = 0) {
    HttpReply reply;
    reply.body = body;
    reply.delayMs = delayMs;
    return reply;
  }

  // The dialog modeless, through the same class the modal run uses.
  void Open(const SettingsRecord& record = StartingRecord()) {
    dialog_ = std::make_unique<CLoginDlg>(L"MID-1", endpoint_);
    dialog_->SetRecord(record);
    ASSERT_TRUE(dialog_->Create(parent_));
    ::ShowWindow(Dialog(), SW_SHOW);
    PumpUntil([] { return false; }, 20);
  }
  HWND Dialog() const { return dialog_->m_hWnd; }
  HWND Item(int id) const { return ::GetDlgItem(Dialog(), id); }
  std::wstring Text(int id) const { return TextOf(Item(id)); }
  bool Shown(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
  void Type(const std::wstring& name, const std::wstring& password) const {
    ::SetDlgItemTextW(Dialog(), IDC_LOGIN_USER, name.c_str());
    ::SetDlgItemTextW(Dialog(), IDC_LOGIN_PASSWORD, password.c_str());
  }
  void Press(int id) const {
    ::SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  // Signs in and waits for the thread's last report, which enables button 1 again.
  void SignIn(const std::wstring& name, const std::wstring& password) {
    Type(name, password);
    Press(IDOK);
    EXPECT_EQ(L"登录中...", Text(IDC_LOGIN_STATUS));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDOK)));
    ASSERT_TRUE(PumpUntil([this] { return ::IsWindowEnabled(Item(IDOK)) != FALSE; }));
  }

  std::mutex mutex_;
  HttpReply reply_;
  LocalHttpServer server_{[this](const HttpRequest&) {
    std::lock_guard<std::mutex> lock(mutex_);
    return reply_;
  }};
  ServiceEndpoint endpoint_;
  HWND parent_ = nullptr;
  std::unique_ptr<CLoginDlg> dialog_;
};

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

    const SettingsRecord& record = dialog_->Record();
    EXPECT_EQ(L"u@x.cn", ReadField(record.userName));
    EXPECT_EQ(L"MID-1", ReadField(record.machineId));
    EXPECT_EQ(1700000000, record.serviceTime);
    EXPECT_EQ(expire, record.expireTime);
    EXPECT_EQ(0, record.loginFailed);
    EXPECT_EQ(2, record.softType);

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

TEST_F(LoginDialogTest, SendsTheLoginForm) {
  Open();
  Reply(Json(R"({"status":1,"expire":0})"));
  SignIn(L"u_1@x.cn", L"密码1234");
  ASSERT_EQ(1u, server_.RequestCount());
  const HttpRequest request = server_.Requests()[0];
  EXPECT_EQ("POST", request.method);
  EXPECT_EQ("/index.php?g=Api&m=Client&a=login", request.target);
  EXPECT_EQ("HTTP/1.0", request.version);
  EXPECT_EQ("username=u_1@x.cn&pwd=5a+G56CBMTIzNA==&id=MID-1&softtype=2&ver=1.1.0.2", request.body);
}

TEST_F(LoginDialogTest, RefusedSignInShowsTheServiceTextAndKeepsTheTypedName) {
  g_bSignedIn = true;  // signed in before: the refusal signs out
  Open();
  Press(IDOK);  // from the signed-in view back to the input
  Reply(Json(R"({"status":0,"time":5,"expire":99,"info":"密码错误"})"));
  SignIn(L"new@x.cn", L"wrong-pw");

  EXPECT_TRUE(Shown(IDC_LOGIN_STATUS));
  EXPECT_EQ(L"密码错误", Text(IDC_LOGIN_STATUS));
  EXPECT_EQ(L"登录", Text(IDOK));
  EXPECT_FALSE(Shown(IDC_LOGIN_SIGNED_IN));
  EXPECT_FALSE(g_bSignedIn);
  EXPECT_EQ(std::vector<WPARAM>{kAccountSignedOut}, g_accountStates);
  const SettingsRecord& record = dialog_->Record();
  EXPECT_EQ(L"new@x.cn", ReadField(record.userName));
  EXPECT_EQ(L"MID-1", ReadField(record.machineId));
  EXPECT_EQ(0, record.expireTime);
  EXPECT_EQ(11, record.serviceTime);
  EXPECT_EQ(1, record.loginFailed);
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

TEST_F(LoginDialogTest, OpensSignedInWithTodayAndTheStoredExpiry) {
  g_bSignedIn = true;
  Open();
  EXPECT_EQ(L"重新登录", Text(IDOK));
  EXPECT_TRUE(Shown(IDC_LOGIN_SIGNED_IN));
  EXPECT_FALSE(Shown(IDC_LOGIN_USER));
  EXPECT_EQ(SignedInText(L"old@x.cn", LocalToday(), *LocalDateOf(123)), Text(IDC_LOGIN_SIGNED_IN));
}

// The modal run as the main window uses it, driven from a second thread.
class SignInFlowTest : public LoginDialogTest {
 protected:
  // Runs the dialog on this thread while `drive` works it from another one.
  SettingsRecord Run(const SettingsRecord& current, const std::function<void(HWND)>& drive) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([this, &drive, uiThread] {
      HWND dialog = nullptr;
      for (int i = 0; i < 1000 && !dialog; ++i) {
        dialog = OwnedDialog(uiThread);
        if (!dialog) ::Sleep(10);
      }
      if (dialog) drive(dialog);
    });
    const SettingsRecord result = RunSignInDialog(parent_, current, L"MID-1", endpoint_);
    closedAt_ = std::chrono::steady_clock::now();
    driver.join();
    return result;
  }
  // The visible window of the UI thread that parent_ owns: the modal dialog.
  HWND OwnedDialog(DWORD uiThread) const {
    struct Search {
      HWND owner;
      HWND found;
    } search{parent_, nullptr};
    ::EnumThreadWindows(
        uiThread,
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          if (::GetWindow(window, GW_OWNER) != s->owner || !::IsWindowVisible(window)) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  static void Type(HWND dialog, const wchar_t* name, const wchar_t* password) {
    ::SetDlgItemTextW(dialog, IDC_LOGIN_USER, name);
    ::SetDlgItemTextW(dialog, IDC_LOGIN_PASSWORD, password);
  }
  std::chrono::steady_clock::time_point closedAt_;
};

TEST_F(SignInFlowTest, ClosingDuringASlowSignInReturnsAtOnceAndDropsTheLateResult) {
  Reply(Json(R"({"status":1,"time":7,"expire":2000000000})", 1500));
  const SettingsRecord current = StartingRecord();
  std::chrono::steady_clock::time_point closing;
  const SettingsRecord result = Run(current, [&](HWND dialog) {
    Type(dialog, L"u@x.cn", L"pass1234");
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && server_.RequestCount() == 0; ++i) ::Sleep(10);
    closing = std::chrono::steady_clock::now();
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_EQ(1u, server_.RequestCount());
  // Back well before the service answers: closing does not wait for the sign-in.
  EXPECT_LT(std::chrono::duration<double>(closedAt_ - closing).count(), 1.0);
  EXPECT_EQ(0, std::memcmp(&current, &result, sizeof(SettingsRecord)));

  // The reply comes in after the dialog has gone: nothing changes.
  PumpUntil([] { return false; }, 2500);
  EXPECT_FALSE(g_bSignedIn);
  EXPECT_TRUE(g_accountStates.empty());
}

TEST_F(SignInFlowTest, KeepsTheMonitoringSettingsAndTakesTheAccountFields) {
  Reply(Json(R"({"status":0,"info":"no"})"));
  SettingsRecord current = StartingRecord();
  std::atomic<bool> closedByEscape{false};
  const SettingsRecord result = Run(current, [&](HWND dialog) {
    Type(dialog, L"typed@x.cn", L"pass1234");
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 1000 && !::IsWindowEnabled(::GetDlgItem(dialog, IDOK)); ++i) ::Sleep(10);
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);  // Esc closes, like button 2
    for (int i = 0; i < 200 && ::IsWindow(dialog); ++i) ::Sleep(10);
    closedByEscape = !::IsWindow(dialog);
    if (!closedByEscape) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(closedByEscape);
  EXPECT_EQ(std::vector<WPARAM>{kAccountSignedOut}, g_accountStates);
  EXPECT_EQ(L"typed@x.cn", ReadField(result.userName));
  EXPECT_EQ(1, result.loginFailed);
  EXPECT_EQ(0, result.expireTime);
  EXPECT_EQ(current.intervalSeconds, result.intervalSeconds);
  EXPECT_EQ(current.retryCount, result.retryCount);
  EXPECT_EQ(current.retryIntervalSeconds, result.retryIntervalSeconds);
  EXPECT_EQ(current.lastNoticeId, result.lastNoticeId);
}

}  // namespace
