// What the program sizes in pixels itself, checked at the DPI of the prefix the test runs
// in: ctest runs it once at 96 DPI and once in a prefix scaled to 144 DPI
// (TARN_EXPECTED_DPI says which, so a prefix that failed to scale cannot pass unnoticed).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "main_window_support.h"
#include "ui/message_box_dlg.h"
#include "ui/skin_colors.h"
#include "win/dpi.h"
#include "win/reflection.h"

namespace {

int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// Draws an owner-drawn button the way its dialog has it drawn and returns the colours
// along its diagonal from the top-left corner.
std::vector<COLORREF> ButtonDiagonal(HWND button, int length) {
  RECT rect{};
  ::GetClientRect(button, &rect);
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, rect.right, rect.bottom);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ previous = ::SelectObject(dc, bitmap);
  DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, 0, button, dc, rect, 0};
  ::SendMessageW(button, win::kReflectedBase + WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
  std::vector<COLORREF> colours;
  for (int i = 0; i < length; ++i) colours.push_back(::GetPixel(dc, i, i));
  ::SelectObject(dc, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  return colours;
}

TEST(DpiTest, IconsTitleFontButtonFrameAndLogColumnFollowTheDpi) {
  MainWindowHarness harness;
  ASSERT_TRUE(harness.Open());
  const UINT dpi = win::DpiForWindow(harness.Window());
  if (const char* expected = std::getenv("TARN_EXPECTED_DPI")) {
    ASSERT_EQ(std::atoi(expected), static_cast<int>(dpi));
  }

  // The window icons are images of the icon group at the sizes this DPI asks for.
  const int big = win::SystemMetricForDpi(SM_CXICON, dpi);
  const int small = win::SystemMetricForDpi(SM_CXSMICON, dpi);
  EXPECT_EQ(win::ScaleForDpi(32, dpi), big);
  EXPECT_EQ(big, IconWidth(reinterpret_cast<HICON>(::SendMessageW(harness.Window(), WM_GETICON, ICON_BIG, 0))));
  EXPECT_EQ(small, IconWidth(reinterpret_cast<HICON>(::SendMessageW(harness.Window(), WM_GETICON, ICON_SMALL, 0))));

  // The run log's column leaves 30 pixels at 96 DPI for the scroll bar, scaled.
  HWND log = harness.Control(IDC_RUN_LOG);
  RECT client{};
  ::GetClientRect(log, &client);
  EXPECT_EQ(client.right - win::ScaleForDpi(30, dpi), ::SendMessageW(log, LVM_GETCOLUMNWIDTH, 0, 0));

  // The popup's bold title is 14 pixels high at 96 DPI, scaled.
  HWND popup = harness.Dialog().Popup().Window();
  ASSERT_TRUE(popup);
  LOGFONTW title{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendDlgItemMessageW(popup, IDC_POPUP_CAPTION, WM_GETFONT, 0, 0)), sizeof title,
               &title);
  EXPECT_EQ(win::ScaleForDpi(14, dpi), title.lfHeight);

  // The owner-drawn buttons' frame is one pixel wide at 96 DPI, scaled.
  const int frame = win::ScaleForDpi(1, dpi);
  const std::vector<COLORREF> diagonal = ButtonDiagonal(harness.Control(IDC_START), frame + 1);
  for (int i = 0; i < frame; ++i) EXPECT_EQ(kDefaultButtonColors.frame, diagonal[i]) << i;
  EXPECT_NE(kDefaultButtonColors.frame, diagonal[frame]);  // the face (normal, or hover under the pointer)
}

}  // namespace
