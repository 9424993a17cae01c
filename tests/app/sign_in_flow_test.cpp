// The sign-in dialog run modally as the main window runs it, driven from a second thread:
// closing it while a slow sign-in runs, and the record it hands back.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "app/sign_in/sign_in_flow.h"
#include "app/sign_in/signed_in_text.h"
#include "login_dlg_fixture.h"

namespace {

using namespace login_test;

// The modal run as the main window uses it, driven from a second thread.
class SignInFlowTest : public LoginDialogTest {
 protected:
  // Runs the dialog on this thread while `drive` works it from another one.
  SettingsRecord Run(const SettingsRecord& current, const std::function<void(HWND)>& drive) {
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread driver([this, &drive, uiThread] {
      HWND dialog = nullptr;
      if (WaitUntil([&] { return (dialog = OwnedDialog(uiThread)) != nullptr; })) drive(dialog);
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
    WaitUntil([&] { return server_.RequestCount() > 0; }, 5000);
    closing = std::chrono::steady_clock::now();
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_EQ(1u, server_.RequestCount());
  // Back well before the service answers: closing does not wait for the sign-in.
  EXPECT_LT(std::chrono::duration<double>(closedAt_ - closing).count(), 1.0);
  EXPECT_EQ(0, std::memcmp(&current, &result, sizeof(SettingsRecord)));

  // The reply comes in after the dialog has gone: nothing changes.
  WaitUntil([] { return false; }, 2500);
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
    WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE; });
    ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);  // Esc closes, like button 2
    closedByEscape = WaitUntil([&] { return !::IsWindow(dialog); }, 2000);
    if (!closedByEscape) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(closedByEscape);
  EXPECT_EQ(std::vector<WPARAM>{kAccountSignedOut}, g_accountStates);
  EXPECT_EQ(L"typed@x.cn", ReadField(result.userName));
  EXPECT_EQ(current.intervalSeconds, result.intervalSeconds);
  EXPECT_EQ(current.retryCount, result.retryCount);
  EXPECT_EQ(current.retryIntervalSeconds, result.retryIntervalSeconds);
  EXPECT_EQ(current.lastNoticeId, result.lastNoticeId);
}

}  // namespace
