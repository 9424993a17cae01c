// The notification popup through its host, driven with messages on real windows, and the
// timed notice line of a dialog.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/message_box_dlg.h"
#include "ui/popup_host.h"
#include "ui/skin_colors.h"
#include "ui/timed_notice.h"
#include "ui_test_support.h"
#include "wait_until.h"
#include "win/dialog_impl.h"

namespace {

const std::wstring kCaption = L"禾岚提示";
const std::wstring kLine = L"2026-12-8 10:00:00 http://127.0.0.1/ 网站服务器，内部发生错误500";

class PopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window the user is working in; the popup must never take it over.
    user_ = ui_test::MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200);
    ::SetForegroundWindow(user_);
    ::SetActiveWindow(user_);
    test_support::PumpMessages();
  }
  void TearDown() override {
    host_.Destroy();
    ::DestroyWindow(user_);
  }

  HWND Popup() const { return host_.Window(); }
  std::wstring Message() const { return ui_test::TextOf(::GetDlgItem(Popup(), IDC_POPUP_MESSAGE)); }
  std::wstring Caption() const { return ui_test::TextOf(::GetDlgItem(Popup(), IDC_POPUP_CAPTION)); }
  void Tick() const { ::SendMessageW(Popup(), WM_TIMER, 1, 0); }

  HWND user_ = nullptr;
  PopupHost host_;
};

TEST_F(PopupTest, SlidesIntoTheCornerOnTopWithoutTakingTheFocus) {
  HWND active = ::GetActiveWindow();
  HWND foreground = ::GetForegroundWindow();
  host_.CreateHidden(kCaption);
  ASSERT_TRUE(Popup());
  EXPECT_FALSE(::IsWindowVisible(Popup()));
  EXPECT_EQ(L"", Message());
  EXPECT_EQ(kCaption, Caption());

  host_.ShowPopup(true, 0, kLine, kCaption);
  EXPECT_TRUE(test_support::WaitUntil([&] { return ::IsWindowVisible(Popup()) != FALSE; }));
  EXPECT_EQ(kLine, Message());
  EXPECT_EQ(60, host_.Popup()->Countdown());  // 0 seconds means 60
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT at = ui_test::WindowRect(Popup());
  EXPECT_EQ(work.right, at.right);
  EXPECT_EQ(work.bottom, at.bottom);
  const LONG exStyle = ::GetWindowLongW(Popup(), GWL_EXSTYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_EQ(active, ::GetActiveWindow());
  EXPECT_EQ(foreground, ::GetForegroundWindow());
  EXPECT_EQ(nullptr, ::GetWindow(Popup(), GW_OWNER));

  // Showing again while visible replaces the notice in the same corner.
  host_.ShowPopup(true, 5, L"本机网络恢复正常", kCaption);
  EXPECT_TRUE(::IsWindowVisible(Popup()));
  EXPECT_EQ(L"本机网络恢复正常", Message());
  EXPECT_EQ(work.right, ui_test::WindowRect(Popup()).right);
  EXPECT_EQ(active, ::GetActiveWindow());
}

TEST_F(PopupTest, TextsAndCountdownFollowTheRequest) {
  host_.ShowPopup(true, 5, kLine, kCaption);
  host_.ShowPopup(true, -1, L"", L"");  // both empty: the previous texts, countdown kept
  EXPECT_EQ(kLine, Message());
  EXPECT_EQ(kCaption, Caption());
  EXPECT_EQ(5, host_.Popup()->Countdown());

  host_.ShowPopup(true, 3, L"监控开始运行...", L"");  // a message alone clears the caption
  EXPECT_EQ(L"监控开始运行...", Message());
  EXPECT_EQ(L"", Caption());

  host_.ShowPopup(true, 3, std::wstring(300, L'网'), std::wstring(80, L'岚'));
  EXPECT_EQ(std::wstring(259, L'网'), Message());
  EXPECT_EQ(std::wstring(51, L'岚'), Caption());

  host_.ShowPopup(false, 0, L"", kCaption);  // as when a run stops: hidden and emptied
  EXPECT_FALSE(::IsWindowVisible(Popup()));
  EXPECT_EQ(L"", Message());
  EXPECT_EQ(kCaption, Caption());
}

TEST_F(PopupTest, CountdownFadesAShownPopupOut) {
  host_.ShowPopup(true, 3, kLine, kCaption);
  Tick();
  Tick();
  EXPECT_TRUE(::IsWindowVisible(Popup()));
  EXPECT_EQ(1, host_.Popup()->Countdown());
  Tick();  // reaches 0: fades out and resets
  EXPECT_FALSE(::IsWindowVisible(Popup()));
  EXPECT_EQ(60, host_.Popup()->Countdown());
  host_.Popup()->SetCountdown(7);
  Tick();  // hidden: every tick resets
  EXPECT_EQ(60, host_.Popup()->Countdown());
  ::SendMessageW(Popup(), WM_TIMER, 2, 0);  // not its timer
  EXPECT_EQ(60, host_.Popup()->Countdown());
}

TEST_F(PopupTest, OkHidesAtOnceAndTheNextNoticeShowsAgain) {
  host_.ShowPopup(true, 10, kLine, kCaption);
  HWND ok = ::GetDlgItem(Popup(), IDOK);
  EXPECT_EQ(BS_OWNERDRAW, ::GetWindowLongW(ok, GWL_STYLE) & BS_TYPEMASK);
  ::SendMessageW(ok, BM_CLICK, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(Popup()));
  host_.ShowPopup(true, 10, L"", L"");
  EXPECT_TRUE(::IsWindowVisible(Popup()));
  EXPECT_EQ(kLine, Message());
}

TEST_F(PopupTest, AfterCancelTheHostMakesANewPopup) {
  host_.ShowPopup(true, 10, kLine, kCaption);
  HWND first = Popup();
  ::SendMessageW(first, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_EQ(nullptr, host_.Popup());
  EXPECT_EQ(nullptr, host_.Window());

  host_.ShowPopup(true, 10, L"本机网络恢复正常", kCaption);
  ASSERT_TRUE(Popup());
  EXPECT_TRUE(::IsWindowVisible(Popup()));
  EXPECT_EQ(L"本机网络恢复正常", Message());
  EXPECT_EQ(user_, ::GetActiveWindow());  // a new popup does not activate itself either
  host_.Destroy();
  EXPECT_EQ(nullptr, host_.Window());
  host_.Destroy();  // nothing left to destroy
}

TEST_F(PopupTest, OkButtonCentredAndDrawnByReflection) {
  host_.CreateHidden(kCaption);
  HWND ok = ::GetDlgItem(Popup(), IDOK);
  RECT client{};
  RECT button{};
  ::GetClientRect(Popup(), &client);
  ::GetClientRect(ok, &button);
  RECT at = ui_test::WindowRect(ok);
  ::MapWindowPoints(nullptr, Popup(), reinterpret_cast<POINT*>(&at), 2);
  EXPECT_EQ((client.right - button.right) / 2, at.left);
  EXPECT_EQ(static_cast<int>(client.bottom - 1.5 * button.bottom), at.top);

  // The button's WM_DRAWITEM goes to the popup, which reflects it back for drawing.
  ui_test::Canvas canvas(button.right, button.bottom);
  ::SendMessageW(ok, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
  EXPECT_EQ(kWhite, canvas.Pixel(0, 0));
  EXPECT_EQ(kDefaultButtonColors.normal, canvas.Pixel(2, 2));
}

// A dialog with a notice line, as the sign-in dialog has (its template and status line).
class NoticeDlg : public win::DialogImpl<NoticeDlg> {
 public:
  enum { IDD = IDD_LOGIN };
  HWND Notice() const { return GetDlgItem(IDC_LOGIN_STATUS); }
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    return ProcessTimedNotice(window, Notice(), message, wParam, lParam, result);
  }
};

TEST(TimedNoticeTest, ShowsForItsTimeAndASecondNoticeRestartsIt) {
  NoticeDlg dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  ::ShowWindow(dialog.Notice(), SW_HIDE);

  ShowTimedNotice(dialog.m_hWnd, dialog.Notice(), L"用户名(邮箱)不能为空", 5000);
  EXPECT_TRUE(::GetWindowLongW(dialog.Notice(), GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(L"用户名(邮箱)不能为空", ui_test::TextOf(dialog.Notice()));
  ::SendMessageW(dialog.m_hWnd, WM_TIMER, 2, 0);  // another timer: ignored
  EXPECT_TRUE(::GetWindowLongW(dialog.Notice(), GWL_STYLE) & WS_VISIBLE);
  ::SendMessageW(dialog.m_hWnd, WM_TIMER, 1, 0);
  EXPECT_FALSE(::GetWindowLongW(dialog.Notice(), GWL_STYLE) & WS_VISIBLE);

  // Real timer: the second notice gets its own full time.
  const auto shown = [&] { return (::GetWindowLongW(dialog.Notice(), GWL_STYLE) & WS_VISIBLE) != 0; };
  const ULONGLONG firstEnds = ::GetTickCount64() + 1000;
  ShowTimedNotice(dialog.m_hWnd, dialog.Notice(), L"登录中...", 1000);
  test_support::WaitUntil([] { return false; }, 600);
  ShowTimedNotice(dialog.m_hWnd, dialog.Notice(), L"登录失败，请重试", 1000);
  test_support::WaitUntil([&] { return ::GetTickCount64() > firstEnds + 100; });
  EXPECT_TRUE(shown());
  EXPECT_EQ(L"登录失败，请重试", ui_test::TextOf(dialog.Notice()));
  EXPECT_TRUE(test_support::WaitUntil([&] { return !shown(); }, 3000));
  dialog.DestroyWindow();
}

}  // namespace
