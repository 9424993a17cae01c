// What one monitoring event makes in the main window: log line, popup, tooltip, last code.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "monitor/event_outcome.h"
#include "monitor/run_log_lines.h"

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  return time;
}

TEST(RunLogLines, TimeStampsAndShapes) {
  EXPECT_EQ(FormatTimeStamp(At(2025, 3, 7, 9, 5, 2)), L"2025-3-7 09:05:02");
  EXPECT_EQ(FormatTimeStamp(At(2025, 10, 1, 14, 30, 0)), L"2025-10-1 14:30:00");
  EXPECT_EQ(FormatTimeStamp(At(999, 12, 31, 23, 59, 59)), L" 999-12-31 23:59:59");  // year in four places

  const SYSTEMTIME t = At(2025, 3, 7, 9, 5, 2);
  EXPECT_EQ(PlainLine(t, kRunStartedText), L"2025-3-7 09:05:02 监控开始运行");
  EXPECT_EQ(ThreadStartLine(t, 3, true), L"2025-3-7 09:05:02 线程[3]启动");
  EXPECT_EQ(ThreadStartLine(t, 12, false), L"2025-3-7 09:05:02 线程[12]启动失败!");
}

constexpr wchar_t kUrl[] = L"http://127.0.0.1:8080/a";
constexpr wchar_t kStamp[] = L"2025-3-7 09:05:02 ";

std::wstring Site(const wchar_t* status) { return std::wstring(kStamp) + kUrl + L" " + status; }
std::wstring Plain(const wchar_t* text) { return std::wstring(kStamp) + text; }
std::wstring Tip(const wchar_t* status) { return std::wstring(L"禾岚网站监控\n状态：") + status; }

struct Row {
  int code;
  int previous;
  std::optional<std::wstring> log;
  std::optional<PopupNotice> popup;  // text "=log" stands for the whole log line
  std::optional<std::wstring> tip;
  int lastCode;
};

const std::wstring kWholeLine = L"=log";

TEST(DescribeEvent, EveryRowOfTheEventTable) {
  const wchar_t* down = L"本机网络断线，请检查网线是否插好";
  const wchar_t* up = L"本机网络恢复正常";
  const Row rows[] = {
      {9, 200, std::wstring(kStamp) + L"[2]线程退出", std::nullopt, Tip(L"线程退出"), 9},
      // The first outage report of a site is announced; its repeats only refresh the tip.
      {10, 200, Plain(down), PopupNotice{down, 0}, Tip(down), 10},
      {10, 10, std::nullopt, std::nullopt, Tip(down), 10},
      // Back up: news only after this site's outage; otherwise nothing at all.
      {11, 10, Plain(up), PopupNotice{up, 5}, Tip(up), 11},
      {11, 200, std::nullopt, std::nullopt, std::nullopt, 200},
      {11, 11, std::nullopt, std::nullopt, std::nullopt, 11},
      {11, 404, std::nullopt, std::nullopt, std::nullopt, 404},
      {21, 200, Site(L"本地网络始初化失败"), std::nullopt, Tip(L"本地网络始初化失败"), 21},
      {22, 200, Site(L"不能访问网站，可能本机不能上网，或网站故障"), PopupNotice{kWholeLine, 0},
       Tip(L"不能访问网站，可能本机不能上网，或网站故障"), 22},
      {24, 22, Site(L"发送提醒邮件：失败。"), PopupNotice{kWholeLine, 0}, Tip(L"发送提醒邮件：失败。"), 24},
      {25, 500, Site(L"发送提醒邮件：成功。"), PopupNotice{kWholeLine, 0}, Tip(L"发送提醒邮件：成功。"), 25},
      {150, 200, Site(L"临时响应"), std::nullopt, Tip(L"临时响应"), 150},
      // A run's first good check is logged without a popup; good news after anything else is announced.
      {200, 200, Site(L"访问正常"), std::nullopt, Tip(L"访问正常"), 200},
      {204, 299, Site(L"访问正常"), std::nullopt, Tip(L"访问正常"), 204},
      {200, 500, Site(L"访问正常"), PopupNotice{kWholeLine, 3}, Tip(L"访问正常"), 200},
      {200, 11, Site(L"访问正常"), PopupNotice{kWholeLine, 3}, Tip(L"访问正常"), 200},
      {200, 302, Site(L"访问正常"), PopupNotice{kWholeLine, 3}, Tip(L"访问正常"), 200},
      {301, 301, Site(L"当前网页300跳转"), PopupNotice{kWholeLine, 10}, Tip(L"当前网页300跳转"), 301},
      {404, 200, Site(L"网页不存在"), PopupNotice{kWholeLine, 10}, Tip(L"网页不存在"), 404},
      {503, 503, Site(L"网站服务器，内部发生错误500"), PopupNotice{kWholeLine, 10}, Tip(L"网站服务器，内部发生错误500"), 503},
      {600, 200, Site(L"http未知状态"), std::nullopt, Tip(L"http未知状态"), 600},
      {1000, 200, Site(L"http未知状态"), std::nullopt, Tip(L"http未知状态"), 1000},
      // Codes without a text: the bare line, no time and no address.
      {0, 200, std::wstring(L"未知状态"), std::nullopt, Tip(L"未知状态"), 0},
      {12, 200, std::wstring(L"未知状态"), std::nullopt, Tip(L"未知状态"), 12},
      {99, 200, std::wstring(L"未知状态"), std::nullopt, Tip(L"未知状态"), 99},
      {-1, 200, std::wstring(L"未知状态"), std::nullopt, Tip(L"未知状态"), -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "code " << row.code << " after " << row.previous);
    const EventOutcome outcome = DescribeEvent(row.code, row.previous, 2, kUrl, At(2025, 3, 7, 9, 5, 2));
    EXPECT_EQ(outcome.logLine, row.log);
    std::optional<PopupNotice> popup = row.popup;
    if (popup && popup->text == kWholeLine) popup->text = row.log.value_or(L"");
    EXPECT_EQ(outcome.popup, popup);
    EXPECT_EQ(outcome.trayTip, row.tip);
    EXPECT_EQ(outcome.lastCode, row.lastCode);
    // Only the network's return is announced before its line is written.
    EXPECT_EQ(outcome.popupFirst, row.code == 11 && row.previous == 10);
  }
}

}  // namespace
