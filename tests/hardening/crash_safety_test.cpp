// The data files survive a writer killed at any moment. The test starts this executable
// again as a child that rewrites Config.dat and site.txt in a tight loop, alternating two
// complete contents, kills it after a random delay and then finds each file holding one
// of the two contents whole: never a mix, never a part, never empty.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <random>
#include <string>

#include "text/code_page.h"
#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "temp_folder.h"

namespace {

constexpr wchar_t kChildFlag[] = L"--rewrite-data-files";

// Two records that differ in every field, so that any mix of them shows.
SettingsRecord Record(int which) {
  SettingsRecord record{};
  record.intervalSeconds = which ? 900 : 30;
  record.retryCount = which ? 3 : 1;
  record.retryIntervalSeconds = which ? 300 : 10;
  record.emailReminder = which;
  record.lastNoticeId = which ? 77 : 5;
  record.softType = 2;
  record.serviceTime = which ? 1700000000 : 1600000000;
  record.expireTime = which ? 1800000000 : 1650000000;
  record.loginFailed = which;
  std::wmemset(record.machineId, which ? L'M' : L'm', std::size(record.machineId) - 1);
  std::wmemset(record.userName, which ? L'\u7528' : L'u', std::size(record.userName) - 1);
  return record;
}

// Two site lists of different lengths, long enough that a write takes a while.
std::wstring SiteText(int which) {
  std::wstring text;
  for (int i = 0; i < (which ? 900 : 1400); ++i) {
    if (i > 0) text += L"\r\n";
    text += (which ? L"http://\u65B0.example/" : L"http://old.example/") + std::to_wstring(i);
  }
  return text;
}

std::string RecordBytes(const SettingsRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

// The child's whole life: rewrite both files, old then new then old ..., until killed.
// `ready` is raised once both files have been written in both versions.
int RewriteUntilKilled(const std::wstring& settingsPath, const std::wstring& sitePath, HANDLE ready) {
  const SettingsRecord records[2] = {Record(0), Record(1)};
  const std::wstring sites[2] = {SiteText(0), SiteText(1)};
  for (unsigned long long pass = 0;; ++pass) {
    const int which = static_cast<int>(pass % 2);
    WriteSettingsFile(settingsPath, records[which]);
    WriteSiteFile(sitePath, sites[which]);
    if (pass == 1) SetEvent(ready);
  }
}

int CountTempFiles(const std::wstring& folder) {
  int count = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

TEST(CrashSafety, DataFilesHoldOneWholeVersionAfterAKillAtAnyMoment) {
  TempFolder folder;
  const std::wstring settingsPath = folder / L"Config.dat";
  const std::wstring sitePath = folder / L"site.txt";
  const std::string settingsVersions[2] = {RecordBytes(Record(0)), RecordBytes(Record(1))};
  const std::string siteVersions[2] = {WideToCodePage(SiteText(0), CP_ACP), WideToCodePage(SiteText(1), CP_ACP)};
  ASSERT_NE(siteVersions[0], siteVersions[1]);
  ASSERT_TRUE(WriteSettingsFile(settingsPath, Record(0)));
  ASSERT_TRUE(WriteSiteFile(sitePath, SiteText(0)));

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE ready = CreateEventW(&inherit, FALSE, FALSE, nullptr);
  ASSERT_NE(nullptr, ready);
  std::mt19937 random(5150);
  int seen[2][2] = {};  // [file][version]
  for (int round = 0; round < 30; ++round) {
    std::wstring command = L"\"" + OwnPath() + L"\" " + kChildFlag + L" \"" + settingsPath + L"\" \"" + sitePath +
                           L"\" " + std::to_wstring(reinterpret_cast<uintptr_t>(ready));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child));
    const bool started = WaitForSingleObject(ready, 30000) == WAIT_OBJECT_0;
    Sleep(random() % 51);
    TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, 30000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_TRUE(started) << "round " << round << ": the child never wrote both files";

    const auto settingsBytes = ReadAllBytes(settingsPath);
    const auto siteBytes = ReadAllBytes(sitePath);
    ASSERT_TRUE(settingsBytes && siteBytes) << "round " << round;
    const int settingsVersion = *settingsBytes == settingsVersions[0] ? 0 : *settingsBytes == settingsVersions[1] ? 1 : -1;
    const int siteVersion = *siteBytes == siteVersions[0] ? 0 : *siteBytes == siteVersions[1] ? 1 : -1;
    ASSERT_NE(-1, settingsVersion) << "round " << round << ": Config.dat holds " << settingsBytes->size() << " other bytes";
    ASSERT_NE(-1, siteVersion) << "round " << round << ": site.txt holds " << siteBytes->size() << " other bytes";
    ++seen[0][settingsVersion];
    ++seen[1][siteVersion];
    // And the program reads back exactly that version.
    EXPECT_EQ(settingsVersions[settingsVersion], RecordBytes(ReadSettingsFile(settingsPath)));
    EXPECT_EQ(SiteText(siteVersion), ReadSiteFile(sitePath).value_or(L""));
  }
  CloseHandle(ready);
  std::printf("after 30 kills: Config.dat old %d / new %d, site.txt old %d / new %d; %d temporary files left\n",
              seen[0][0], seen[0][1], seen[1][0], seen[1][1], CountTempFiles(folder.Path()));
}

}  // namespace

int main(int argc, char** argv) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args && count == 5 && std::wcscmp(args[1], kChildFlag) == 0) {
    const auto ready = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(args[4], nullptr, 10)));
    return RewriteUntilKilled(args[2], args[3], ready);
  }
  if (args) LocalFree(args);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
