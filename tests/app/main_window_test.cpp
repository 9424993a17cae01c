// The main window created in-process over its own data folder and driven with messages:
// start-up, stored settings, Start and Stop with real workers, events, the log, the tray
// tooltip and the ways the window ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "build_config.h"
#include "main_window_run.h"
#include "flags/process_flags.h"

namespace {

// A log line without its time stamp; a line without one comes back marked.
std::wstring Unstamped(const std::wstring& line) {
  const std::wregex shape(L"^[ \\d]{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} (.*)$");
  std::wsmatch match;
  return std::regex_match(line, match, shape) ? match[1].str() : L"(no time stamp) " + line;
}

std::vector<std::wstring> Unstamped(const std::vector<std::wstring>& lines, size_t count) {
  std::vector<std::wstring> out;
  for (size_t i = 0; i < count && i < lines.size(); ++i) out.push_back(Unstamped(lines[i]));
  return out;
}

bool PopupShown(MainWindowHarness& harness) {
  return ::IsWindowVisible(harness.Dialog().Popup().Window()) != FALSE;
}

TEST(MainWindow, FirstStartWithNoFiles) {
  MainWindowHarness harness;
  ASSERT_TRUE(harness.Open());
  wchar_t title[64] = {};
  ::GetWindowTextW(harness.Window(), title, 64);
  EXPECT_STREQ(title, L"禾岚网站监控");
  EXPECT_EQ(harness.Text(IDC_CAPTION), std::wstring(kCaption) + kNotSignedIn);
  EXPECT_EQ(harness.ComboText(IDC_INTERVAL), L"1分钟");
  EXPECT_EQ(harness.ComboText(IDC_RETRY_COUNT), L"3次");
  EXPECT_EQ(harness.ComboText(IDC_RETRY_INTERVAL), L"30秒");
  EXPECT_EQ(harness.ComboText(IDC_EMAIL_REMINDER), L"不提醒");
  EXPECT_EQ(harness.Text(IDC_SITES), build_config::kDefaultSite);
  const auto log = harness.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(Unstamped(log[0]), L"软件启动");
  EXPECT_TRUE(harness.Enabled(IDC_START));
  EXPECT_FALSE(harness.Enabled(IDC_STOP));
  EXPECT_FALSE(g_bSignedIn);
  EXPECT_EQ(harness.Dialog().TrayTip(), L"禾岚网站监控");
  EXPECT_EQ(harness.Dialog().MachineId().size(), 16u);
  // The folders exist; the files come only with the first close or the first Start.
  EXPECT_TRUE(FolderExists(harness.Base() / L"TarnSiteMonitor\\GetLog"));
  EXPECT_FALSE(PathExists(harness.DataFile(L"Config.dat")));
  EXPECT_FALSE(PathExists(harness.DataFile(L"site.txt")));
  EXPECT_FALSE(PopupShown(harness));
  EXPECT_EQ(Popup(harness)->CaptionText(), L"禾岚提示");
}

TEST(MainWindow, StoredSettingsAreRestoredAndRepaired) {
  struct Case {
    SettingsRecord stored;
    const wchar_t* userName;
    const wchar_t* interval;
    const wchar_t* retryCount;
    const wchar_t* retryInterval;
    const wchar_t* email;
    bool signedIn;
    int32_t savedRetryCount;
  };
  const Case cases[] = {
      {{300, 1, 120, 1}, L"abcdef", L"5分钟", L"1次", L"2分钟", L"提醒", true, 1},
      {{45, 7, 45, 9}, L"abcde", L"1分钟", L"3次", L"30秒", L"不提醒", false, 3},
      {{900, 2, 10, 0}, L"", L"15分钟", L"2次", L"10秒", L"不提醒", false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.intervalSeconds << " s, user name of " << wcslen(c.userName));
    MainWindowHarness harness;
    SettingsRecord record = c.stored;
    wcsncpy(record.userName, c.userName, 82);
    ASSERT_TRUE(WriteAllBytes(harness.DataFile(L"Config.dat"),
                              std::string_view(reinterpret_cast<const char*>(&record), sizeof record)));
    ASSERT_TRUE(WriteAllBytes(harness.DataFile(L"site.txt"), "http://a\r\nhttp://b"));
    ASSERT_TRUE(harness.Open());
    EXPECT_EQ(harness.ComboText(IDC_INTERVAL), c.interval);
    EXPECT_EQ(harness.ComboText(IDC_RETRY_COUNT), c.retryCount);
    EXPECT_EQ(harness.ComboText(IDC_RETRY_INTERVAL), c.retryInterval);
    EXPECT_EQ(harness.ComboText(IDC_EMAIL_REMINDER), c.email);
    EXPECT_EQ(harness.Text(IDC_CAPTION), std::wstring(kCaption) + (c.signedIn ? L"" : kNotSignedIn));
    EXPECT_EQ(g_bSignedIn.load(), c.signedIn);
    EXPECT_EQ(harness.Text(IDC_SITES), L"http://a\r\nhttp://b");
    ::DestroyWindow(harness.Window());
    const SettingsRecord saved = StoredRecord(harness);
    EXPECT_EQ(saved.retryCount, c.savedRetryCount);
    EXPECT_EQ(saved.softType, 2);
    EXPECT_STREQ(saved.userName, c.userName);
  }
}

TEST_F(MainWindowRun, StartLogsTheThreadsAndStoresTheCleanedList) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(L"  " + Url(1) + L"\u3000\r\n\r\n   \r\n" + Url(2) + L"\r\n" + Url(3) + L"\r\n");
  harness_.Click(IDC_START);

  const auto log = harness_.Log();
  EXPECT_EQ(log.size(), 5u);
  EXPECT_EQ(Unstamped(log, 5),
            (std::vector<std::wstring>{L"监控开始运行", L"线程[3]启动", L"线程[2]启动", L"线程[1]启动", L"软件启动"}));
  const std::wstring cleaned = Url(1) + L"\r\n" + Url(2) + L"\r\n" + Url(3);
  EXPECT_EQ(harness_.Text(IDC_SITES), cleaned);
  const auto stored = ReadAllBytes(harness_.DataFile(L"site.txt"));
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(*stored, std::string(cleaned.begin(), cleaned.end()));
  EXPECT_FALSE(harness_.Enabled(IDC_START));
  EXPECT_TRUE(harness_.Enabled(IDC_STOP));
  EXPECT_TRUE(PopupShown(harness_));
  EXPECT_EQ(Popup(harness_)->MessageText(), L"监控开始运行...");
  EXPECT_EQ(Popup(harness_)->Countdown(), 3);
  harness_.Click(IDC_STOP);
}

// More sites than one wait call covers: Stop waits for every worker.
TEST_F(MainWindowRun, StopWaitsForEveryWorkerAndDropsLaterEvents) {
  ASSERT_TRUE(harness_.Open());
  std::wstring sites;
  std::vector<std::wstring> expected{L"监控停止!"};
  for (int i = 1; i <= 70; ++i) {
    sites += L"x" + std::to_wstring(i) + L"\r\n";  // short: the box is read up to 1023 characters
    expected.push_back(L"[" + std::to_wstring(i) + L"]线程退出");
  }
  expected.push_back(L"停止中...");
  harness_.SetSites(sites);
  harness_.Click(IDC_START);
  harness_.Event(1, 404);
  harness_.Click(IDC_STOP);

  const auto log = harness_.Log();
  ASSERT_GE(log.size(), expected.size() + 1);
  std::vector<std::wstring> lines = Unstamped(log, expected.size());
  std::sort(lines.begin() + 1, lines.end() - 1);  // the workers end in any order
  std::sort(expected.begin() + 1, expected.end() - 1);
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(harness_.Enabled(IDC_START));
  EXPECT_FALSE(harness_.Enabled(IDC_STOP));
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控");
  EXPECT_FALSE(PopupShown(harness_));

  // The run's records are gone: a late event of it does nothing.
  harness_.Event(1, 404);
  EXPECT_EQ(harness_.Log(), log);
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控");
}

TEST_F(MainWindowRun, BlankBoxRunsWithoutWorkersAndEmptyBoxDoesNothing) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(L"");
  harness_.Click(IDC_START);
  EXPECT_EQ(harness_.Log().size(), 1u);
  EXPECT_TRUE(harness_.Enabled(IDC_START));

  harness_.SetSites(L"  \r\n\u3000\r\n");
  harness_.Click(IDC_START);
  const auto log = harness_.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(Unstamped(log[0]), L"监控开始运行");
  EXPECT_EQ(harness_.Text(IDC_SITES), L"");
  EXPECT_EQ(ReadAllBytes(harness_.DataFile(L"site.txt")), std::string());
  harness_.Click(IDC_STOP);
  EXPECT_EQ(Unstamped(harness_.Log()[0]), L"监控停止!");
  EXPECT_TRUE(harness_.Enabled(IDC_START));
}

}  // namespace
