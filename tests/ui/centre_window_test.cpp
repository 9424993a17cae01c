// Centring arithmetic and the real centring of windows; cutting texts to their fields.
#include <gtest/gtest.h>

#include "ui/centre_window.h"
#include "ui/text_limit.h"
#include "ui_test_support.h"

namespace {

TEST(CentredPositionTest, CentresThenKeepsInsideTheWorkArea) {
  const RECT screen{0, 0, 1000, 800};
  struct Case {
    const char* name;
    SIZE size;
    RECT target;
    RECT work;
    POINT expected;
  } cases[] = {
      {"centred", {100, 50}, {0, 0, 400, 300}, screen, {150, 125}},
      {"odd halves truncate", {101, 51}, {0, 0, 401, 301}, screen, {150, 125}},
      {"negative halves truncate toward zero", {101, 51}, {-401, -301, 0, 0}, {-1000, -800, 0, 0}, {-250, -175}},
      {"past right and bottom", {200, 200}, {900, 700, 1000, 800}, screen, {800, 600}},
      {"before left and top", {200, 200}, {-100, -100, 0, 0}, screen, {0, 0}},
      {"larger than the work area keeps its top-left", {1200, 900}, screen, screen, {0, 0}},
      {"second monitor", {200, 100}, {1000, 0, 2000, 800}, {1000, 0, 2000, 760}, {1400, 350}},
      {"over a reference near the right edge", {300, 200}, {850, 100, 1000, 200}, screen, {700, 50}},
  };
  for (const Case& c : cases) {
    const POINT at = CentredPosition(c.size, c.target, c.work);
    EXPECT_EQ(c.expected.x, at.x) << c.name;
    EXPECT_EQ(c.expected.y, at.y) << c.name;
  }
}

TEST(CentreWindowTest, OverAVisibleReferenceElseOverTheWorkArea) {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  HWND reference = ui_test::MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 400, 300);
  HWND owned = ui_test::MakeWindow(WS_POPUP, 0, 0, 200, 100, reference);

  CentreWindow(owned, reference);
  EXPECT_EQ(200, ui_test::WindowRect(owned).left);
  EXPECT_EQ(200, ui_test::WindowRect(owned).top);

  ::SetWindowPos(owned, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  CentreWindow(owned, nullptr);  // no reference given: its owner
  EXPECT_EQ(200, ui_test::WindowRect(owned).left);

  ::ShowWindow(reference, SW_HIDE);
  CentreWindow(owned, reference);
  EXPECT_EQ((work.left + work.right) / 2 - 100, ui_test::WindowRect(owned).left);
  EXPECT_EQ((work.top + work.bottom) / 2 - 50, ui_test::WindowRect(owned).top);
  EXPECT_EQ(200, ui_test::WindowRect(owned).right - ui_test::WindowRect(owned).left);  // size kept
  ::DestroyWindow(owned);
  ::DestroyWindow(reference);
}

TEST(LimitTextTest, CutsToTheFieldWithoutSplittingPairs) {
  const std::wstring pair = L"\xD83D\xDE00";  // one character outside the BMP
  struct Case {
    std::wstring text;
    std::size_t max;
    std::wstring expected;
  } cases[] = {
      {L"", 5, L""},
      {L"abc", 5, L"abc"},
      {L"abcde", 5, L"abcde"},
      {L"abcdef", 5, L"abcde"},
      {L"abcd" + pair, 5, L"abcd"},
      {L"abc" + pair + L"x", 5, L"abc" + pair},
      {std::wstring(300, L'网'), 259, std::wstring(259, L'网')},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, LimitText(c.text, c.max)) << c.text.size() << "/" << c.max;
}

}  // namespace
