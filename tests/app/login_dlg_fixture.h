// The sign-in dialog's test fixture: the dialog made modeless on a parent that records
// what it is told, against the local test service.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "account/account_messages.h"
#include "app/sign_in/login_dlg.h"
#include "flags/process_flags.h"
#include "local_http_server.h"
#include "storage/settings_fields.h"
#include "wait_until.h"

namespace login_test {

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::WaitUntil;

// The main window's part: it records every WM_ACCOUNTSTATE it is sent.
inline std::vector<WPARAM> g_accountStates;

inline LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ACCOUNTSTATE) g_accountStates.push_back(wParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

inline HWND MakeParent() {
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

inline std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(window, buffer, 512);
  return buffer;
}

inline SettingsRecord StartingRecord() {
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
    test_support::PumpMessages();
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
    ASSERT_TRUE(test_support::WaitUntil([this] { return ::IsWindowEnabled(Item(IDOK)) != FALSE; }));
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

}  // namespace login_test
