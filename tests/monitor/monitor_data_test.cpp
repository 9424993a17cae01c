// The site list parser, the restoring of the four settings and the status texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/monitor_events.h"
#include "monitor/monitor_settings.h"
#include "monitor/site_list.h"

namespace {

struct ParseCase {
  const char* name;
  std::wstring text;
  std::vector<std::wstring> lines;
  std::wstring joined;
};

TEST(SiteList, ParsesTrimsDropsAndJoins) {
  const std::wstring a = L"http://a.example/";
  const std::wstring b = L"http://b.example/x?y=1";
  const ParseCase cases[] = {
      {"empty text", L"", {}, L""},
      {"blank lines only", L"  \r\n\u3000\r\n\r\n   ", {}, L""},
      {"spaces and ideographic spaces trimmed", L"  " + a + L"\u3000", {a}, a},
      {"mixed spaces trimmed repeatedly", L"\u3000 \u3000" + a + L" \u3000 ", {a}, a},
      {"empty and blank lines dropped, trailing CR LF", a + L"\r\n\r\n   \r\n" + b + L"\r\n", {a, b},
       a + L"\r\n" + b},
      {"tab kept", L"\t" + a, {L"\t" + a}, L"\t" + a},
      {"trailing tab kept", a + L"\t ", {a + L"\t"}, a + L"\t"},
      {"lone LF stays inside the line", a + L"\n" + b, {a + L"\n" + b}, a + L"\n" + b},
      {"lone CR stays inside the line", a + L"\r" + b, {a + L"\r" + b}, a + L"\r" + b},
      {"LF CR is not a break", a + L"\n\r" + b, {a + L"\n\r" + b}, a + L"\n\r" + b},
      {"duplicates kept in order", a + L"\r\n" + a + L"\r\n" + b, {a, a, b}, a + L"\r\n" + a + L"\r\n" + b},
      {"case and inner spaces kept", L" HTTP://A.example/a b ", {L"HTTP://A.example/a b"}, L"HTTP://A.example/a b"},
  };
  for (const auto& c : cases) {
    SiteList list = SiteList::Parse(c.text);
    EXPECT_EQ(c.lines, list.Lines()) << c.name;
    EXPECT_EQ(c.joined, list.Join()) << c.name;
  }
}

TEST(SiteList, SplitKeepsEmptyLinesUntilDropped) {
  SiteList list(L"a\r\n\r\n b \r\n");
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"", L" b ", L""}), list.Lines());
  list.TrimLines();
  EXPECT_EQ(L"b", list.Line(2));
  list.DropEmptyLines();
  EXPECT_EQ(2u, list.Count());
  EXPECT_EQ(L"a\r\nb", list.Join());
}

TEST(SiteList, LongLinesAreKeptWhole) {
  const std::wstring longUrl = L"http://a.example/" + std::wstring(600, L'x');
  SiteList list = SiteList::Parse(longUrl + L"\r\nhttp://b.example/");
  ASSERT_EQ(2u, list.Count());
  EXPECT_EQ(longUrl, list.Line(0));
}

TEST(MonitorSettings, RestoresKnownValuesAndRepairsUnknownOnes) {
  struct Case {
    MonitorSettings stored;
    int indexes[4];
    MonitorSettings repaired;
  };
  const Case cases[] = {
      // No settings file: all four are 0.
      {{0, 0, 0, 0}, {1, 2, 1, 0}, {60, 3, 30, 0}},
      {{30, 1, 10, 1}, {0, 0, 0, 1}, {30, 1, 10, 1}},
      {{900, 2, 300, 0}, {5, 1, 4, 0}, {900, 2, 300, 0}},
      {{120, 3, 120, 1}, {2, 2, 3, 1}, {120, 3, 120, 1}},
      // Unknown values: the default entry, and the stored value becomes what is shown.
      {{45, 4, 15, 2}, {1, 2, 1, 0}, {60, 3, 30, 0}},
      {{-60, -1, -30, -1}, {1, 2, 1, 0}, {60, 3, 30, 0}},
  };
  for (const auto& c : cases) {
    const RestoredSettings r = RestoreSettings(c.stored);
    EXPECT_EQ(c.indexes[0], r.intervalIndex) << c.stored.intervalSeconds;
    EXPECT_EQ(c.indexes[1], r.retryCountIndex) << c.stored.retryCount;
    EXPECT_EQ(c.indexes[2], r.retryIntervalIndex) << c.stored.retryIntervalSeconds;
    EXPECT_EQ(c.indexes[3], r.emailReminderIndex) << c.stored.emailReminder;
    EXPECT_EQ(c.repaired.intervalSeconds, r.settings.intervalSeconds);
    EXPECT_EQ(c.repaired.retryCount, r.settings.retryCount);
    EXPECT_EQ(c.repaired.retryIntervalSeconds, r.settings.retryIntervalSeconds);
    EXPECT_EQ(c.repaired.emailReminder, r.settings.emailReminder);
  }
}

// The text of every code the workers send is DescribeEvent's table (event_outcome_test);
// here the edges of the status ranges.
TEST(StatusText, NamesEveryCodeByTheTable) {
  const struct {
    int code;
    std::wstring text;
  } cases[] = {
      {100, L"临时响应"},
      {299, L"访问正常"},
      {304, L"当前网页300跳转"},
      {410, L"网页不存在"},
      {500, L"网站服务器，内部发生错误500"},
      {601, L"http未知状态"},
      {99999, L"http未知状态"},
      {8, L"未知状态"},
      {23, L"未知状态"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, StatusText(c.code)) << c.code;
}

}  // namespace
