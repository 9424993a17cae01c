// The owner-drawn button, the control-colour and background mix-ins, drawn for real into
// memory DCs and read back pixel by pixel.
#include <gtest/gtest.h>

#include "ui/button_bt.h"
#include "ui/client_drag.h"
#include "ui/ctrl_color.h"
#include "ui/paint_bkgnd.h"
#include "ui/skin_colors.h"
#include "ui_test_support.h"
#include "win/reflection.h"
#include "win/unique_handle.h"

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 40;

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = ui_test::MakeWindow(WS_POPUP, 0, 0, 200, 100);
    button_ = ::CreateWindowExW(0, L"Button", L"停止", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 0, kWidth,
                                kHeight, parent_, reinterpret_cast<HMENU>(1003), nullptr, nullptr);
    ASSERT_TRUE(button_);
  }
  void TearDown() override { ::DestroyWindow(parent_); }

  // Draws the button as its dialog would, through the reflected WM_DRAWITEM, in a font
  // without smoothing so that the caption's pixels have exactly the caption colour.
  void Draw(ui_test::Canvas& canvas, UINT state) {
    HGDIOBJ previous = ::SelectObject(canvas.Dc(), font_.Get());
    DRAWITEMSTRUCT item{ODT_BUTTON, 1003, 0, ODA_DRAWENTIRE, state, button_, canvas.Dc(), {0, 0, kWidth, kHeight}, 0};
    EXPECT_EQ(1, ::SendMessageW(button_, win::kReflectedBase + WM_DRAWITEM, 1003, reinterpret_cast<LPARAM>(&item)));
    ::SelectObject(canvas.Dc(), previous);
  }

  HWND parent_ = nullptr;
  HWND button_ = nullptr;
  CButtonBT bt_;
  win::Font font_{::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg")};
};

TEST_F(ButtonTest, AttachMakesAnyPushButtonOwnerDrawnOnce) {
  EXPECT_FALSE(bt_.Attach(nullptr));
  ASSERT_TRUE(bt_.Attach(button_));
  EXPECT_EQ(BS_OWNERDRAW, ::GetWindowLongW(button_, GWL_STYLE) & BS_TYPEMASK);
  EXPECT_TRUE(bt_.Attach(button_));  // already attached: left as it is
  HWND other = ::CreateWindowExW(0, L"Button", L"x", WS_CHILD, 0, 0, 10, 10, parent_, nullptr, nullptr, nullptr);
  EXPECT_FALSE(bt_.Attach(other));
  EXPECT_EQ(BS_PUSHBUTTON, ::GetWindowLongW(other, GWL_STYLE) & BS_TYPEMASK);
}

TEST_F(ButtonTest, FaceFrameAndCaptionFollowStateAndMouse) {
  ASSERT_TRUE(bt_.Attach(button_));
  struct Case {
    ButtonColors colors;
    UINT state;
    bool hover;
    COLORREF face;
    COLORREF text;
  } cases[] = {
      {kDefaultButtonColors, 0, false, RGB(51, 153, 255), kWhite},
      {kDefaultButtonColors, 0, true, RGB(5, 107, 181), kWhite},
      {kDefaultButtonColors, ODS_SELECTED, true, RGB(133, 133, 133), kWhite},
      {kDefaultButtonColors, ODS_SELECTED | ODS_FOCUS, false, RGB(133, 133, 133), kWhite},
      {kDefaultButtonColors, ODS_DISABLED, false, kWhite, kDisabledButtonText},
      {kDefaultButtonColors, ODS_DISABLED, true, kWhite, kDisabledButtonText},
      {kCloseButtonColors, 0, true, RGB(218, 36, 37), kWhite},
      {kCloseButtonColors, ODS_SELECTED, true, RGB(150, 17, 0), kWhite},
      {kCaptionButtonColors, ODS_DEFAULT, false, kMainBackground, kWhite},
      {kClearLogButtonColors, ODS_SELECTED, false, RGB(33, 179, 255), kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << c.state << " hover " << c.hover);
    bt_.SetColors(c.colors);
    bt_.m_bHover = c.hover;
    ui_test::Canvas canvas(kWidth, kHeight);
    Draw(canvas, c.state);
    EXPECT_EQ(c.colors.frame, canvas.Pixel(0, 0));
    EXPECT_EQ(c.colors.frame, canvas.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(c.face, canvas.Pixel(1, 1));
    EXPECT_EQ(c.face, canvas.Pixel(kWidth - 2, kHeight - 2));
    EXPECT_GT(canvas.Count(c.text, {1, 1, kWidth - 1, kHeight - 1}), 5);  // the caption, in its colour
  }
}

TEST_F(ButtonTest, CaptionIsCentredAsABlock) {
  ASSERT_TRUE(bt_.Attach(button_));
  for (const wchar_t* text : {L"停止", L"清空日志 清空日志 清空日志"}) {  // one line, word-wrapped
    ::SetWindowTextW(button_, text);
    ui_test::Canvas canvas(kWidth, kHeight);
    Draw(canvas, 0);
    const RECT box = canvas.BoundsOfOtherThan(kDefaultButtonColors.normal, {1, 1, kWidth - 1, kHeight - 1});
    ASSERT_LT(box.left, box.right) << "no caption drawn";
    EXPECT_NEAR(kWidth / 2.0, (box.left + box.right) / 2.0, 2.5);
    EXPECT_NEAR(kHeight / 2.0, (box.top + box.bottom) / 2.0, 3.5);
  }
}

TEST_F(ButtonTest, EmptyCaptionDrawsFrameAndFaceOnly) {
  ASSERT_TRUE(bt_.Attach(button_));
  ::SetWindowTextW(button_, L"");
  ui_test::Canvas canvas(kWidth, kHeight);
  Draw(canvas, 0);
  EXPECT_EQ(kWidth * kHeight - 2 * (kWidth + kHeight - 2), canvas.Count(kDefaultButtonColors.normal));
}

TEST_F(ButtonTest, MouseMoveAndLeaveSwitchTheFace) {
  ASSERT_TRUE(bt_.Attach(button_));
  ::SendMessageW(button_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ui_test::Canvas hovered(kWidth, kHeight);
  Draw(hovered, 0);
  EXPECT_EQ(kDefaultButtonColors.hover, hovered.Pixel(1, 1));
  ::SendMessageW(button_, WM_MOUSELEAVE, 0, 0);
  ui_test::Canvas left(kWidth, kHeight);
  Draw(left, 0);
  EXPECT_EQ(kDefaultButtonColors.normal, left.Pixel(1, 1));
}

// A dialog stand-in with an override for one static, as the sign-in dialog has.
template <int Hollow>
struct Skinned : CCtrlColor<Skinned<Hollow>, Hollow, kBlack, kWhite> {
  HBRUSH ControlColorOverride(HDC dc, HWND control) {
    if (::GetDlgCtrlID(control) != 1013) return kNoOverride;
    ::SetTextColor(dc, kWhite);
    return own.Get();
  }
  win::Brush own{::CreateSolidBrush(kStatusLineBackground)};
};

TEST(CtrlColorTest, StaticsButtonsEditsAndOverrides) {
  HWND parent = ui_test::MakeWindow(WS_POPUP, 0, 0, 200, 100);
  auto child = [&](const wchar_t* cls, DWORD style, int id) {
    return ::CreateWindowExW(0, cls, L"x", WS_CHILD | style, 0, 0, 50, 20, parent, reinterpret_cast<HMENU>(id),
                             nullptr, nullptr);
  };
  HWND label = child(L"Static", 0, 1005);
  HWND status = child(L"Static", 0, 1013);
  HWND readOnlyEdit = child(L"Edit", ES_READONLY, 1000);
  HWND button = child(L"Button", 0, 1);
  Skinned<1> hollow;
  Skinned<0> solid;
  LOGBRUSH solidBrush{};
  ::GetObjectW(solid.Brush(), sizeof(solidBrush), &solidBrush);
  EXPECT_EQ(kWhite, solidBrush.lbColor);

  const HBRUSH none = nullptr;
  struct Case {
    UINT message;
    HWND control;
    HBRUSH hollowResult;
    HBRUSH solidResult;
    COLORREF text;
  } cases[] = {
      {WM_CTLCOLORSTATIC, label, static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)), solid.Brush(), kBlack},
      {WM_CTLCOLORSTATIC, readOnlyEdit, none, none, kBlack},  // keeps the system grey
      {WM_CTLCOLORSTATIC, status, hollow.own.Get(), solid.own.Get(), kWhite},
      {WM_CTLCOLORBTN, button, none, none, kBlack},
      {WM_CTLCOLORBTN, status, none, none, kBlack},  // overrides are for statics only
  };
  for (const Case& c : cases) {
    ui_test::Canvas canvas(4, 4);
    ::SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    LRESULT result = -7;
    ASSERT_TRUE(hollow.ProcessCtrlColor(parent, c.message, reinterpret_cast<WPARAM>(canvas.Dc()),
                                        reinterpret_cast<LPARAM>(c.control), result));
    EXPECT_EQ(reinterpret_cast<LRESULT>(c.hollowResult), result);
    EXPECT_EQ(c.text, ::GetTextColor(canvas.Dc()));
    EXPECT_EQ(TRANSPARENT, ::GetBkMode(canvas.Dc()));
    ASSERT_TRUE(solid.ProcessCtrlColor(parent, c.message, reinterpret_cast<WPARAM>(canvas.Dc()),
                                       reinterpret_cast<LPARAM>(c.control), result));
    EXPECT_EQ(reinterpret_cast<LRESULT>(c.solidResult), result);
  }
  LRESULT result = 0;
  EXPECT_FALSE(hollow.ProcessCtrlColor(parent, WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(readOnlyEdit), result));
  EXPECT_FALSE(hollow.ProcessCtrlColor(parent, WM_CTLCOLORLISTBOX, 0, 0, result));
  ::DestroyWindow(parent);
}

struct Painted : CPaintBkgnd<Painted, kMainBackground> {};

TEST(PaintBkgndTest, FillsExactlyTheClientArea) {
  HWND window = ui_test::MakeWindow(WS_POPUP, 0, 0, 30, 20);
  Painted painted;
  ui_test::Canvas canvas(40, 30);
  LRESULT result = 0;
  ASSERT_TRUE(painted.ProcessPaintBkgnd(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0, result));
  EXPECT_EQ(1, result);
  EXPECT_EQ(30 * 20, canvas.Count(kMainBackground));
  EXPECT_EQ(kMainBackground, canvas.Pixel(29, 19));
  EXPECT_EQ(RGB(0, 0, 0), canvas.Pixel(30, 19));
  EXPECT_FALSE(painted.ProcessPaintBkgnd(window, WM_PAINT, 0, 0, result));
  ::DestroyWindow(window);
}

LRESULT CALLBACK RecordCaptionPress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCLBUTTONDOWN) {  // recorded only: no move loop in a test
    ::SetPropW(window, L"press", reinterpret_cast<HANDLE>(wParam));
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(ClientDragTest, PressOnTheSurfaceBecomesACaptionPress) {
  HWND window = ui_test::MakeWindow(WS_POPUP, 0, 0, 30, 20);
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordCaptionPress));
  LRESULT result = -1;
  ASSERT_TRUE(ProcessClientDrag(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3), result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(HTCAPTION, reinterpret_cast<INT_PTR>(::GetPropW(window, L"press")));
  EXPECT_FALSE(ProcessClientDrag(window, WM_LBUTTONUP, 0, 0, result));
  ::RemovePropW(window, L"press");
  ::DestroyWindow(window);
}

}  // namespace
