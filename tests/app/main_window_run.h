// What the main window's tests share: its caption texts, the record it stored, its popup, and a
// window over its own data folder with a local server whose every page answers 200.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "local_http_server.h"
#include "main_window_support.h"
#include "storage/settings_record.h"
#include "ui/message_box_dlg.h"
#include "version.h"

inline constexpr wchar_t kCaption[] = L"禾岚网站监控 " TARN_VERSION_TEXT;
inline constexpr wchar_t kNotSignedIn[] = L"(未登录)";

inline SettingsRecord StoredRecord(const MainWindowHarness& harness) {
  SettingsRecord record{};
  const auto bytes = ReadAllBytes(harness.DataFile(L"Config.dat"));
  EXPECT_TRUE(bytes.has_value());
  if (bytes) {
    EXPECT_EQ(bytes->size(), sizeof record);
    std::memcpy(&record, bytes->data(), std::min(bytes->size(), sizeof record));
  }
  return record;
}

inline CMessageBoxDlg* Popup(MainWindowHarness& harness) { return harness.Dialog().Popup().Popup(); }

class MainWindowRun : public testing::Test {
 protected:
  MainWindowRun() : server_([](const test_support::HttpRequest&) { return test_support::StatusReply(200); }) {}

  std::wstring Url(int n) const { return server_.Url("/site" + std::to_string(n)); }

  test_support::LocalHttpServer server_;
  MainWindowHarness harness_;
};
