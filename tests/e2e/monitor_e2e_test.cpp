// The real program end to end: two sites of the local HTTP server typed into the address
// box, a run that reports both, Stop, Esc, and what the program leaves on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "local_http_server.h"
#include "program_driver.h"
#include "window_probes.h"
#include "res/resource.h"
#include "storage/settings_record.h"
#include "temp_folder.h"

namespace {

using test_support::HttpReply;
using test_support::HttpRequest;
using test_support::LocalHttpServer;
using test_support::StatusReply;

// The workers' tick of the program under test: its 30-second interval passes in 3 s.
constexpr unsigned long kTickMs = 100;

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& ending) {
  return std::ranges::any_of(lines, [&](const std::wstring& line) { return line.ends_with(ending); });
}

TEST(ProgramEndToEnd, MonitorsTwoSitesStopsAndClosesWithItsFilesWritten) {
  // A data folder of the test's own, without the program's files.
  const ProgramSurroundings surroundings(kTickMs);

  LocalHttpServer server([](const HttpRequest& request) -> HttpReply {
    return StatusReply(request.target.rfind("/missing", 0) == 0 ? 404 : 200);
  });
  const std::wstring healthy = server.Url("/ok") + L"?名=值";
  const std::wstring missing = server.Url("/missing");

  ProgramDriver program;
  ASSERT_TRUE(program.Start(ProgramBesideTest(L"TarnSiteMonitorLoopback.exe"))) << "no main window";
  ASSERT_TRUE(WaitUntil([&] { return Contains(program.Log(), L" 软件启动"); }, 5000));

  // Checks every 30 ticks, one retry 10 ticks after a failure: the failing site is reported
  // after its second failed attempt.
  program.Select(IDC_INTERVAL, 0);        // "30秒"
  program.Select(IDC_RETRY_COUNT, 0);     // "1次"
  program.Select(IDC_RETRY_INTERVAL, 0);  // "10秒"
  program.SetText(IDC_SITES, L" " + healthy + L"\r\n\r\n" + missing + L"\u3000\r\n");
  program.Click(IDC_START);
  EXPECT_FALSE(program.Enabled(IDC_START));
  EXPECT_TRUE(program.Enabled(IDC_STOP));
  EXPECT_TRUE(Contains(program.Log(), L" 监控开始运行"));

  EXPECT_TRUE(WaitUntil(
      [&] {
        const auto log = program.Log();
        return Contains(log, L" " + healthy + L" 访问正常") && Contains(log, L" " + missing + L" 网页不存在");
      },
      70000))
      << "the sites' status lines did not come";
  EXPECT_GE(server.RequestCount(), 3u);

  program.Click(IDC_STOP);
  const auto log = program.Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_TRUE(log[0].ends_with(L" 监控停止!"));
  EXPECT_TRUE(log[1].ends_with(L"线程退出"));
  EXPECT_TRUE(log[2].ends_with(L"线程退出"));
  EXPECT_TRUE(log[3].ends_with(L" 停止中..."));
  EXPECT_TRUE(program.Enabled(IDC_START));
  EXPECT_FALSE(program.Enabled(IDC_STOP));

  // Esc, as the user presses it: through the program's message loop.
  ::PostMessageW(program.Control(IDC_START), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(program.WaitForExit(20000), 2);

  const std::string config = ReadAllBytes(surroundings.DataFile(L"Config.dat")).value_or("");
  ASSERT_EQ(config.size(), sizeof(SettingsRecord));
  SettingsRecord record{};
  std::memcpy(&record, config.data(), sizeof record);
  EXPECT_EQ(record.intervalSeconds, 30);
  EXPECT_EQ(record.retryCount, 1);
  EXPECT_EQ(record.retryIntervalSeconds, 10);
  EXPECT_EQ(record.emailReminder, 0);
  EXPECT_EQ(record.softType, 2);

  // The cleaned list in the ANSI code page (936): "名=值" is C3 FB 3D D6 B5.
  const std::string expected = std::string(healthy.begin(), healthy.end() - 3) + "\xC3\xFB=\xD6\xB5\r\n" +
                               std::string(missing.begin(), missing.end());
  EXPECT_EQ(ReadAllBytes(surroundings.DataFile(L"site.txt")), expected);
}

}  // namespace
