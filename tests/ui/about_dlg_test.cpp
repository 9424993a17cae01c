// The About box run modally for real: its text, its position and the ways it closes.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui_test_support.h"
#include "version.h"

namespace {

// What the probe saw of the open About box, and how it then closed it.
struct Probe {
  UINT message = 0;
  WPARAM wParam = 0;
  std::wstring text;
  RECT rect{};
  bool found = false;
};
Probe g_probe;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t cls[16] = {};
  ::GetClassNameW(window, cls, 16);
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Runs inside the About box's modal loop.
void CALLBACK InspectAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  HWND about = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&about));
  if (!about) return;  // not open yet: try at the next tick
  ::KillTimer(nullptr, id);
  g_probe.found = true;
  g_probe.text = ui_test::TextOf(::GetDlgItem(about, IDC_ABOUT_TEXT));
  ::GetWindowRect(about, &g_probe.rect);
  ::PostMessageW(about, g_probe.message, g_probe.wParam, 0);
}

INT_PTR RunAbout(HWND parent, UINT message, WPARAM wParam) {
  g_probe = Probe{};
  g_probe.message = message;
  g_probe.wParam = wParam;
  ::SetTimer(nullptr, 0, 30, &InspectAndClose);
  CAboutDlg dialog;
  return dialog.DoModal(parent);
}

TEST(AboutDlgTest, ShowsTitleVersionAndCopyrightAndClosesOnClickEnterEsc) {
  struct Case {
    const char* how;
    UINT message;
    WPARAM wParam;
    INT_PTR result;
  } cases[] = {
      {"click", WM_LBUTTONDOWN, MK_LBUTTON, 0},
      {"Enter", WM_KEYDOWN, VK_RETURN, IDOK},
      {"Esc", WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, RunAbout(nullptr, c.message, c.wParam)) << c.how;
    ASSERT_TRUE(g_probe.found) << c.how;
    EXPECT_EQ(L"禾岚网站监控 v" TARN_VERSION_TEXT "\r\n\r\n版权所有 (C) 2026 禾岚软件", g_probe.text);
  }
  // Every character exists in the Chinese code page: no font fallback needed to show it.
  BOOL lossy = FALSE;
  ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, g_probe.text.c_str(), -1, nullptr, 0, nullptr, &lossy);
  EXPECT_FALSE(lossy);
}

// Over a hidden parent it goes over the work area: CentreWindow's test.
TEST(AboutDlgTest, CentredOverItsParent) {
  HWND parent = ui_test::MakeWindow(WS_POPUP | WS_VISIBLE, 100, 100, 600, 400);
  RunAbout(parent, WM_KEYDOWN, VK_ESCAPE);
  ASSERT_TRUE(g_probe.found);
  EXPECT_NEAR(400, (g_probe.rect.left + g_probe.rect.right) / 2, 1);
  EXPECT_NEAR(300, (g_probe.rect.top + g_probe.rect.bottom) / 2, 1);
  ::DestroyWindow(parent);
}

}  // namespace
