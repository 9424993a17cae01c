// The run log of the real main window as other programs read it: the order in which an
// event reaches the log, the popup and the tooltip, and the log as a list.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#include "app/main_window/run_log_view.h"
#include "main_window_run.h"

namespace {

// The number of log lines another program reads at the moment the popup shows and at the
// moment the tooltip changes, and the number the log had when it was last drawn before the
// popup showed. The window thread is the test's thread, so watching the three windows'
// messages sees each moment.
class EventWatch {
 public:
  explicit EventWatch(MainWindowHarness& harness)
      : harness_(harness),
        windows_{harness.Dialog().Popup().Window(), harness.Window(), harness.Control(IDC_RUN_LOG)} {
    for (HWND window : windows_) ::SetWindowSubclass(window, &Watch, 0, reinterpret_cast<DWORD_PTR>(this));
  }
  ~EventWatch() {
    for (HWND window : windows_) ::RemoveWindowSubclass(window, &Watch, 0);
  }
  EventWatch(const EventWatch&) = delete;
  EventWatch& operator=(const EventWatch&) = delete;

  void Post(int index, int code) {
    tipBefore_ = harness_.Dialog().TrayTip();
    popupLines = tipLines = popupDrawn = std::nullopt;
    ::PostMessageW(harness_.Window(), WM_MONITOREVENT, index, code);
  }

  std::optional<size_t> popupLines, tipLines, popupDrawn;

 private:
  size_t Lines() {
    reading_ = true;  // reading the log sends the window the list's requests for its texts
    const size_t lines = harness_.Log().size();
    reading_ = false;
    return lines;
  }

  static LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto& self = *reinterpret_cast<EventWatch*>(data);
    if (self.reading_) return ::DefSubclassProc(window, message, wParam, lParam);
    if (window == self.windows_[0] && message == WM_WINDOWPOSCHANGED && !self.popupLines &&
        (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
      self.popupLines = self.Lines();
      self.popupDrawn = self.drawn_;
    }
    if (window == self.windows_[2] && message == WM_PAINT) self.drawn_ = ListView_GetItemCount(window);
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (!self.tipLines && self.harness_.Dialog().TrayTip() != self.tipBefore_) self.tipLines = self.Lines();
    return result;
  }

  MainWindowHarness& harness_;
  HWND windows_[3];  // the popup, the main window, the log
  bool reading_ = false;
  size_t drawn_ = 0;
  std::wstring tipBefore_;
};

// Events posted as workers post them, nothing forced: each line is in the log, and drawn,
// before its popup shows, and in the log before the tooltip changes; the network's return
// shows its popup first.
TEST_F(MainWindowRun, EventsReachTheLogThenThePopupThenTheTooltip) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(Url(1) + L"\r\n" + Url(2));
  harness_.Click(IDC_START);
  const struct {
    int index, code;
    bool popup, popupFirst;
    const wchar_t* status;
  } cases[] = {
      {1, 200, false, false, L"访问正常"},  // a run's first good check
      {2, 404, true, false, L"网页不存在"},  {2, 200, true, false, L"访问正常"},
      {1, 10, true, false, L"本机网络断线，请检查网线是否插好"},
      {1, 11, true, true, L"本机网络恢复正常"}, {1, 0, false, false, L"未知状态"},
  };
  EventWatch watch(harness_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    harness_.Dialog().ShowPopup(false, 0, L"", L"禾岚提示");
    const size_t before = harness_.Log().size();
    watch.Post(c.index, c.code);
    ASSERT_TRUE(harness_.PumpUntil([&] { return watch.tipLines && (!c.popup || watch.popupLines); }));
    EXPECT_EQ(harness_.Log().size(), before + 1);
    EXPECT_TRUE(harness_.Log()[0].ends_with(c.status));
    EXPECT_EQ(harness_.Dialog().TrayTip(), std::wstring(L"禾岚网站监控\n状态：") + c.status);
    EXPECT_EQ(watch.tipLines, before + 1);
    EXPECT_EQ(::IsWindowVisible(harness_.Dialog().Popup().Window()) != FALSE, c.popup);
    if (c.popup) {
      EXPECT_EQ(watch.popupLines, c.popupFirst ? before : before + 1);
      if (!c.popupFirst) {
        EXPECT_EQ(watch.popupDrawn, before + 1) << "the line is drawn before its popup shows";
      }
      EXPECT_TRUE(Popup(harness_)->MessageText().ends_with(c.status));
    }
  }
  // Events of no site of this run change nothing.
  const auto log = harness_.Log();
  harness_.Event(0, 404);
  harness_.Event(3, 404);
  EXPECT_EQ(harness_.Log(), log);
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控\n状态：未知状态");
  harness_.Click(IDC_STOP);
}

std::vector<int> SelectedItems(HWND list) {
  std::vector<int> items;
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
    items.push_back(i);
  }
  return items;
}

// The log as a list: its styles, its limit, reading it as other programs do (whole, or cut
// to the reader's buffer), the marks that stay on their lines as lines arrive, finding a
// line by its start (by typing, or as another program asks), and clearing during a run.
TEST_F(MainWindowRun, RunLogBehavesAsAList) {
  ASSERT_TRUE(harness_.Open());
  const HWND list = harness_.Control(IDC_RUN_LOG);
  EXPECT_EQ(::GetWindowLongW(list, GWL_STYLE) & (LVS_TYPEMASK | LVS_NOCOLUMNHEADER | LVS_ALIGNMASK | WS_TABSTOP),
            LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_ALIGNLEFT | WS_TABSTOP);
  for (int i = 1; i <= kRunLogMaxLines + 1; ++i) harness_.Dialog().AddLogLine(L"line " + std::to_wstring(i));
  auto log = harness_.Log();  // the start-up line and line 1 went
  ASSERT_EQ(log.size(), static_cast<size_t>(kRunLogMaxLines));
  EXPECT_EQ(log.front(), L"line " + std::to_wstring(kRunLogMaxLines + 1));
  EXPECT_EQ(log.back(), L"line 2");

  const std::wstring longLine(1500, L'长');
  harness_.Dialog().AddLogLine(longLine);
  EXPECT_EQ(harness_.Log().front(), longLine);
  wchar_t cut[8];
  std::fill(std::begin(cut), std::end(cut), L'#');
  LVITEMW item{};
  item.pszText = cut;
  item.cchTextMax = 4;
  EXPECT_EQ(::SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item)), 3);
  EXPECT_STREQ(cut, L"lin");
  EXPECT_EQ(cut[4], L'#');

  // The selected lines, the focus and the Shift-click anchor stay on their lines; the line
  // that falls off the bottom of the full log takes its marks with it.
  struct Marks {
    std::vector<int> selected;
    int focused, anchor;
  };
  const int last = kRunLogMaxLines - 1;
  const struct {
    Marks before;
    int added;
    Marks after;
  } follows[] = {
      {{{1}, 1, 1}, 1, {{2}, 2, 2}},
      {{{2, 3, 4}, 4, 2}, 2, {{4, 5, 6}, 6, 4}},                    // a Shift-click from 2 to 4
      {{{0, 5}, 5, 0}, 1, {{1, 6}, 6, 1}},                          // a Ctrl-click
      {{{last - 1, last}, last, last - 1}, 1, {{last}, -1, last}},  // the bottom line falls off
  };
  for (const auto& c : follows) {
    SCOPED_TRACE(c.before.selected.front());
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const int i : c.before.selected) ListView_SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, c.before.focused, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_SetSelectionMark(list, c.before.anchor);
    for (int i = 0; i < c.added; ++i) harness_.Dialog().AddLogLine(L"newest");
    EXPECT_EQ(SelectedItems(list), c.after.selected);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), c.after.focused);
    EXPECT_EQ(ListView_GetSelectionMark(list), c.after.anchor);
  }

  // Typing a letter selects the first line that starts with it, in any case; other programs
  // ask the same search from a line on, wrapping or not.
  harness_.Click(IDC_CLEAR_LOG);
  for (const wchar_t* line : {L"beta 1", L"Alpha", L"beta 2", L"未知状态"}) harness_.Dialog().AddLogLine(line);
  ::SetFocus(list);
  ::SendMessageW(list, WM_CHAR, L'B', 1);
  EXPECT_EQ(SelectedItems(list), std::vector<int>{1});
  EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 1);
  const struct {
    UINT flags;
    const wchar_t* text;
    int start, found;
  } finds[] = {
      {LVFI_PARTIAL | LVFI_WRAP, L"BETA", 2, 3}, {LVFI_PARTIAL | LVFI_WRAP, L"beta", 4, 1},
      {LVFI_PARTIAL, L"beta", 4, -1},            {LVFI_STRING, L"alpha", -1, 2},
      {LVFI_STRING, L"alp", -1, -1},             {LVFI_PARTIAL | LVFI_WRAP, L"未知", 1, 0},
  };
  for (const auto& f : finds) {
    SCOPED_TRACE(f.start);
    LVFINDINFOW find{f.flags, f.text};
    EXPECT_EQ(::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(f.start), reinterpret_cast<LPARAM>(&find)), f.found);
  }

  harness_.SetSites(Url(1));
  harness_.Click(IDC_START);
  harness_.Click(IDC_CLEAR_LOG);
  EXPECT_TRUE(harness_.Log().empty());
  EXPECT_EQ(ListView_GetSelectionMark(list), -1);
  harness_.Event(1, 200);
  ASSERT_EQ(harness_.Log().size(), 1u);
  EXPECT_TRUE(harness_.Log()[0].ends_with(Url(1) + L" 访问正常"));
  harness_.Click(IDC_STOP);
  EXPECT_TRUE(harness_.Log()[1].ends_with(L" [1]线程退出"));
}

}  // namespace
