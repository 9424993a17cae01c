// The main window ending the program, its tray icon and its caption line, in-process with
// real workers and the local HTTP server.
#include <windows.h>

#include <gtest/gtest.h>

#include "flags/process_flags.h"
#include "main_window_run.h"
#include "res/resource.h"
#include "win/window_messages.h"

namespace {

TEST_F(MainWindowRun, EscEndsTheProgramWithCode2AfterSavingTheSettings) {
  ASSERT_TRUE(harness_.Open());
  ::SendMessageW(harness_.Control(IDC_INTERVAL), CB_SETCURSEL, 3, 0);  // "5分钟"
  harness_.SetSites(Url(1));
  harness_.Click(IDC_START);
  ::PostMessageW(harness_.Control(IDC_STOP), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(harness_.RunLoop(), 2);
  EXPECT_TRUE(harness_.WindowGone());
  EXPECT_TRUE(g_bQuit);
  const SettingsRecord saved = StoredRecord(harness_);
  EXPECT_EQ(saved.intervalSeconds, 300);
  EXPECT_EQ(saved.retryCount, 3);
  EXPECT_EQ(saved.retryIntervalSeconds, 30);
  EXPECT_EQ(saved.emailReminder, 0);
}

TEST_F(MainWindowRun, CloseButtonDuringARunStopsTheWorkersAndEndsWithCode2) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(Url(1) + L"\r\n" + Url(2));
  harness_.Click(IDC_START);
  harness_.Click(IDC_CLOSE);
  EXPECT_FALSE(::IsWindowVisible(harness_.Window()));
  EXPECT_EQ(harness_.RunLoop(), 2);  // closing posts the cancel command
  EXPECT_TRUE(harness_.WindowGone());
  EXPECT_TRUE(PathExists(harness_.DataFile(L"Config.dat")));
}

TEST_F(MainWindowRun, TrayExitEndsWithCode0) {
  ASSERT_TRUE(harness_.Open());
  ::PostMessageW(harness_.Window(), WM_COMMAND, ID_TRAY_EXIT, 0);
  EXPECT_EQ(harness_.RunLoop(), 0);
  EXPECT_TRUE(harness_.WindowGone());
  EXPECT_TRUE(PathExists(harness_.DataFile(L"Config.dat")));
}

// The window is closed while Stop is still waiting for the workers: the wait started by
// the close finishes the run, and the Stop that was waiting leaves it alone.
TEST_F(MainWindowRun, ClosingWhileStopWaitsEndsCleanly) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(Url(1) + L"\r\n" + Url(2) + L"\r\n" + Url(3));
  harness_.Click(IDC_START);
  ::PostMessageW(harness_.Window(), WM_COMMAND, IDCANCEL, 0);
  harness_.Click(IDC_STOP);  // dispatches the cancel command while it waits
  EXPECT_TRUE(harness_.WindowGone());
  EXPECT_EQ(harness_.RunLoop(), 2);
  EXPECT_TRUE(PathExists(harness_.DataFile(L"Config.dat")));
}

TEST_F(MainWindowRun, SessionEndKeepsTheSettings) {
  ASSERT_TRUE(harness_.Open());
  ::SendMessageW(harness_.Control(IDC_RETRY_COUNT), CB_SETCURSEL, 0, 0);  // "1次"
  harness_.SetSites(Url(1));
  harness_.Click(IDC_START);
  EXPECT_EQ(::SendMessageW(harness_.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  EXPECT_EQ(StoredRecord(harness_).retryCount, 1);
  ASSERT_TRUE(WriteAllBytes(harness_.DataFile(L"Config.dat"), ""));
  ::SendMessageW(harness_.Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(StoredRecord(harness_).retryCount, 1);
  harness_.Click(IDC_STOP);
}

TEST_F(MainWindowRun, TrayIconHidesAndRestoresTheWindowAndSurvivesAShellRestart) {
  ASSERT_TRUE(harness_.Open());
  harness_.Click(IDC_MINIMIZE);
  EXPECT_FALSE(::IsWindowVisible(harness_.Window()));
  // Other icons' messages and other mouse messages do nothing.
  ::SendMessageW(harness_.Window(), WM_TRAYICON, 5, WM_LBUTTONUP);
  ::SendMessageW(harness_.Window(), WM_TRAYICON, 128, WM_LBUTTONDBLCLK);
  EXPECT_FALSE(::IsWindowVisible(harness_.Window()));
  ::SendMessageW(harness_.Window(), WM_TRAYICON, 128, WM_LBUTTONUP);
  EXPECT_TRUE(::IsWindowVisible(harness_.Window()));
  EXPECT_FALSE(::IsIconic(harness_.Window()));

  // A restarted shell gets the icon again, with the bare title as its tooltip.
  harness_.SetSites(Url(1));
  harness_.Click(IDC_START);
  harness_.Event(1, 200);
  ::SendMessageW(harness_.Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控");
  harness_.Click(IDC_STOP);
}

TEST_F(MainWindowRun, AccountStateRewritesTheCaptionLine) {
  ASSERT_TRUE(harness_.Open());
  ::SendMessageW(harness_.Window(), WM_ACCOUNTSTATE, 1, 0);
  EXPECT_EQ(harness_.Text(IDC_CAPTION), kCaption);
  harness_.Dialog().Settings()->Update([](SettingsRecord& r) { r.expireTime = 12345; });
  ::SendMessageW(harness_.Window(), WM_ACCOUNTSTATE, 0, 0);
  EXPECT_EQ(harness_.Text(IDC_CAPTION), std::wstring(kCaption) + kNotSignedIn);
  EXPECT_EQ(harness_.Dialog().Settings()->Snapshot().expireTime, 0);
  // The new-version notice comes once per run.
  ::SendMessageW(harness_.Window(), WM_ACCOUNTSTATE, 120, 0);
  EXPECT_EQ(Popup(harness_)->MessageText(), L"发现新版本，请及时更新");
  harness_.Dialog().ShowPopup(false, 0, L"x", L"禾岚提示");
  ::SendMessageW(harness_.Window(), WM_ACCOUNTSTATE, 120, 0);
  EXPECT_EQ(Popup(harness_)->MessageText(), L"x");
}

}  // namespace
