// The main window created in-process over its own data folder and driven with messages:
// start-up, stored settings, Start and Stop with real workers, events, the log, the tray
// tooltip and the ways the window ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <regex>

#include "app/main_window/run_log_view.h"
#include "build_config.h"
#include "local_http_server.h"
#include "main_window_run.h"
#include "main_window_support.h"
#include "monitor/monitor_events.h"
#include "flags/process_flags.h"
#include "storage/settings_record.h"
#include "ui/message_box_dlg.h"

namespace {

using test_support::LocalHttpServer;
using test_support::StatusReply;

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

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

void StoreRecord(const MainWindowHarness& harness, const SettingsRecord& record) {
  ASSERT_TRUE(WriteAllBytes(harness.DataFile(L"Config.dat"),
                            std::string_view(reinterpret_cast<const char*>(&record), sizeof record)));
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
    SCOPED_TRACE(Narrow(c.interval) + " user " + Narrow(c.userName));
    MainWindowHarness harness;
    SettingsRecord record = c.stored;
    wcsncpy(record.userName, c.userName, 82);
    StoreRecord(harness, record);
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

// What another program sees of the log at the moment the popup shows and at the moment the
// tooltip changes: the number of lines and the top line, and how long after the event was
// posted. The window thread is the test's thread, so watching the two windows' messages
// sees each moment.
class EventWatch {
 public:
  struct Moment {
    bool seen = false;
    size_t lines = 0;
    std::wstring top;
    double ms = 0;
  };

  explicit EventWatch(MainWindowHarness& harness) : harness_(harness) {
    ::SetWindowSubclass(harness.Dialog().Popup().Window(), &Watch, kPopup, reinterpret_cast<DWORD_PTR>(this));
    ::SetWindowSubclass(harness.Window(), &Watch, kMain, reinterpret_cast<DWORD_PTR>(this));
  }
  ~EventWatch() {
    ::RemoveWindowSubclass(harness_.Dialog().Popup().Window(), &Watch, kPopup);
    ::RemoveWindowSubclass(harness_.Window(), &Watch, kMain);
  }
  EventWatch(const EventWatch&) = delete;
  EventWatch& operator=(const EventWatch&) = delete;

  void Post(int index, int code) {
    linesBefore_ = Now().lines;
    tipBefore_ = harness_.Dialog().TrayTip();
    popup = tip = line = Moment{};
    ::QueryPerformanceCounter(&posted_);
    ::PostMessageW(harness_.Window(), WM_MONITOREVENT, index, code);
  }

  Moment popup, tip, line;

 private:
  static constexpr UINT_PTR kPopup = 1, kMain = 2;

  Moment Now() {
    LARGE_INTEGER now{}, frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    reading_ = true;
    const auto log = harness_.Log();
    reading_ = false;
    return {true, log.size(), log.empty() ? L"" : log[0],
            1000.0 * static_cast<double>(now.QuadPart - posted_.QuadPart) / static_cast<double>(frequency.QuadPart)};
  }

  static LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR data) {
    auto& self = *reinterpret_cast<EventWatch*>(data);
    if (self.reading_) return ::DefSubclassProc(window, message, wParam, lParam);  // the log asking for its texts
    if (id == kPopup && message == WM_WINDOWPOSCHANGED && !self.popup.seen &&
        (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) {
      self.popup = self.Now();
    }
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (id == kMain && !self.line.seen && self.Now().lines > self.linesBefore_) self.line = self.Now();
    if (id == kMain && !self.tip.seen && self.harness_.Dialog().TrayTip() != self.tipBefore_) self.tip = self.Now();
    return result;
  }

  MainWindowHarness& harness_;
  bool reading_ = false;
  size_t linesBefore_ = 0;
  std::wstring tipBefore_;
  LARGE_INTEGER posted_{};
};

// Events posted as workers post them, nothing forced: each line is in the log before its
// popup shows and before the tooltip changes; the network's return shows its popup first.
TEST_F(MainWindowRun, EventsReachTheLogThenThePopupThenTheTooltip) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(Url(1) + L"\r\n" + Url(2));
  harness_.Click(IDC_START);
  const std::wstring netDown = L"本机网络断线，请检查网线是否插好";
  struct Case {
    int index, code;
    bool siteLine;        // the address comes before the text
    std::wstring text;    // the line without its time stamp, and the status in the tooltip
    int popupSeconds;     // -1: no popup
    bool popupFirst;
    bool othersIgnored;   // events of no site of the run are posted first, and change nothing
  };
  const Case cases[] = {
      {1, 200, true, L"访问正常", -1, false, false},  // a run's first good check
      {2, 404, true, L"网页不存在", 10, false, false},
      {2, 200, true, L"访问正常", 3, false, false},   // back to good
      {1, 10, false, netDown, 60, false, false},
      {1, 11, false, L"本机网络恢复正常", 5, true, false},
      {1, 0, false, L"未知状态", -1, false, true},     // the bare line, without a time stamp
  };
  EventWatch watch(harness_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    harness_.Dialog().ShowPopup(false, 0, L"", L"禾岚提示");
    const size_t before = harness_.Log().size();
    if (c.othersIgnored) {
      ::PostMessageW(harness_.Window(), WM_MONITOREVENT, 0, 404);
      ::PostMessageW(harness_.Window(), WM_MONITOREVENT, 3, 404);
    }
    watch.Post(c.index, c.code);
    const bool popup = c.popupSeconds >= 0;
    ASSERT_TRUE(harness_.PumpUntil([&] { return watch.tip.seen && (!popup || watch.popup.seen); }));
    const auto log = harness_.Log();
    ASSERT_EQ(log.size(), before + 1);
    const std::wstring line = c.code == 0 ? log[0] : Unstamped(log[0]);
    EXPECT_EQ(line, c.siteLine ? Url(c.index) + L" " + c.text : c.text);
    EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控\n状态：" + c.text);
    EXPECT_EQ(watch.tip.lines, before + 1);
    EXPECT_EQ(watch.tip.top, log[0]);
    EXPECT_EQ(PopupShown(harness_), popup);
    if (popup) {
      EXPECT_EQ(watch.popup.lines, c.popupFirst ? before : before + 1);
      EXPECT_EQ(Popup(harness_)->MessageText(), c.siteLine ? log[0] : c.text);
      EXPECT_EQ(Popup(harness_)->Countdown(), c.popupSeconds);
    }
    std::printf("[measured] code %d after posting: popup %.1f ms (%zu lines), handled %.1f ms, tooltip %.1f ms\n",
                c.code, watch.popup.ms, watch.popup.lines, watch.line.ms, watch.tip.ms);
  }
  harness_.Click(IDC_STOP);
}

TEST_F(MainWindowRun, StopWaitsForEveryWorkerAndDropsLaterEvents) {
  ASSERT_TRUE(harness_.Open());
  harness_.SetSites(Url(1) + L"\r\n" + Url(2));
  harness_.Click(IDC_START);
  harness_.Event(1, 404);
  harness_.Click(IDC_STOP);

  const auto log = harness_.Log();
  ASSERT_GE(log.size(), 5u);
  std::vector<std::wstring> lines = Unstamped(log, 4);
  std::sort(lines.begin() + 1, lines.begin() + 3);  // the workers end in any order
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"监控停止!", L"[1]线程退出", L"[2]线程退出", L"停止中..."}));
  EXPECT_TRUE(harness_.Enabled(IDC_START));
  EXPECT_FALSE(harness_.Enabled(IDC_STOP));
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控");
  EXPECT_FALSE(PopupShown(harness_));

  // The run's records are gone: a late event of it does nothing.
  harness_.Event(1, 404);
  harness_.PumpUntil([] { return false; }, 200);
  EXPECT_EQ(harness_.Log(), log);
  EXPECT_EQ(harness_.Dialog().TrayTip(), L"禾岚网站监控");
}

int ItemWith(HWND list, UINT flags) {
  return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), flags));
}

std::vector<int> SelectedItems(HWND list) {
  std::vector<int> items;
  for (int i = ItemWith(list, LVNI_SELECTED); i >= 0;
       i = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) {
    items.push_back(i);
  }
  return items;
}

void SetItemState(HWND list, int item, UINT mask, UINT state) {
  LVITEMW change{};
  change.stateMask = mask;
  change.state = state;
  ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&change));
}

// The log as a list: its styles, its limit, reading it as other programs do (whole, or cut
// to the reader's buffer), the marks that stay on their lines as lines arrive, finding a
// line by its start (by typing, or as another program asks), and clearing during a run.
TEST_F(MainWindowRun, RunLogBehavesAsAList) {
  ASSERT_TRUE(harness_.Open());
  const HWND list = harness_.Control(IDC_RUN_LOG);
  const LONG style = ::GetWindowLongW(list, GWL_STYLE);
  EXPECT_EQ(style & (LVS_TYPEMASK | LVS_NOCOLUMNHEADER | LVS_ALIGNMASK | WS_TABSTOP),
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

  // The selected lines, the focus and the Shift-click anchor stay on their lines; a line
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
    SetItemState(list, -1, LVIS_SELECTED | LVIS_FOCUSED, 0);
    for (const int i : c.before.selected) SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
    SetItemState(list, c.before.focused, LVIS_FOCUSED, LVIS_FOCUSED);
    ::SendMessageW(list, LVM_SETSELECTIONMARK, 0, c.before.anchor);
    for (int i = 0; i < c.added; ++i) harness_.Dialog().AddLogLine(L"newest");
    EXPECT_EQ(SelectedItems(list), c.after.selected);
    EXPECT_EQ(ItemWith(list, LVNI_FOCUSED), c.after.focused);
    EXPECT_EQ(::SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), c.after.anchor);
  }

  // Typing a letter selects the first line that starts with it, in any case.
  harness_.Click(IDC_CLEAR_LOG);
  for (const wchar_t* line : {L"beta 1", L"Alpha", L"beta 2", L"未知状态"}) harness_.Dialog().AddLogLine(line);
  ::SetFocus(list);
  ::SendMessageW(list, WM_CHAR, L'B', 1);
  EXPECT_EQ(SelectedItems(list), std::vector<int>{1});
  EXPECT_EQ(ItemWith(list, LVNI_FOCUSED), 1);
  // The same search as other programs ask it: from a line on, wrapping or not.
  const struct {
    UINT flags;
    const wchar_t* text;
    int start, found;
  } finds[] = {
      {LVFI_PARTIAL | LVFI_WRAP, L"BETA", 2, 3}, {LVFI_PARTIAL | LVFI_WRAP, L"beta", 3, 3},
      {LVFI_PARTIAL | LVFI_WRAP, L"beta", 4, 1}, {LVFI_PARTIAL, L"beta", 4, -1},
      {LVFI_STRING, L"alpha", -1, 2},            {LVFI_STRING, L"alp", -1, -1},
      {LVFI_PARTIAL | LVFI_WRAP, L"未知", 1, 0},  {LVFI_PARTIAL | LVFI_WRAP, L"gamma", -1, -1},
  };
  for (const auto& f : finds) {
    LVFINDINFOW find{};
    find.flags = f.flags;
    find.psz = f.text;
    EXPECT_EQ(::SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(f.start), reinterpret_cast<LPARAM>(&find)),
              f.found)
        << Narrow(f.text) << " from " << f.start;
  }

  harness_.SetSites(Url(1));
  harness_.Click(IDC_START);
  harness_.Click(IDC_CLEAR_LOG);
  EXPECT_TRUE(harness_.Log().empty());
  EXPECT_EQ(::SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0), -1);
  harness_.Event(1, 200);
  ASSERT_EQ(harness_.Log().size(), 1u);
  EXPECT_EQ(Unstamped(harness_.Log()[0]), Url(1) + L" 访问正常");
  EXPECT_TRUE(harness_.Enabled(IDC_STOP));
  harness_.Click(IDC_STOP);
  EXPECT_EQ(Unstamped(harness_.Log()[1]), L"[1]线程退出");
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

// More sites than one wait call covers: every worker is started and waited for.
TEST_F(MainWindowRun, SeventyWorkersStartAndStop) {
  ASSERT_TRUE(harness_.Open());
  std::wstring sites;
  for (int i = 0; i < 70; ++i) sites += L"x" + std::to_wstring(i) + L"\r\n";
  harness_.SetSites(sites);
  harness_.Click(IDC_START);
  harness_.Click(IDC_STOP);
  int exits = 0;
  for (const auto& line : harness_.Log()) exits += line.find(L"]线程退出") != std::wstring::npos ? 1 : 0;
  EXPECT_EQ(exits, 70);
  EXPECT_EQ(Unstamped(harness_.Log()[0]), L"监控停止!");
}

}  // namespace
