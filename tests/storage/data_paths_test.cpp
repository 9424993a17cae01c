#include "storage/data_paths.h"

#include <gtest/gtest.h>

#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "temp_folder.h"

namespace {

TEST(DataPaths, MakesThePathsAndCreatesOnlyTheFolders) {
  TempFolder base;
  const DataPaths paths = MakeDataPaths(base.Path());
  EXPECT_EQ(paths.siteFile, base.Path() + L"\\TarnSiteMonitor\\site.txt");
  EXPECT_EQ(paths.settingsFile, base.Path() + L"\\TarnSiteMonitor\\Config.dat");
  EXPECT_EQ(paths.logFolder, base.Path() + L"\\TarnSiteMonitor\\GetLog");
  EXPECT_TRUE(FolderExists(base / L"TarnSiteMonitor"));
  EXPECT_TRUE(FolderExists(paths.logFolder));
  EXPECT_FALSE(PathExists(paths.siteFile));
  EXPECT_FALSE(PathExists(paths.settingsFile));

  // A second start finds the folders in place and gives the same paths.
  const DataPaths again = MakeDataPaths(base.Path());
  EXPECT_EQ(again.siteFile, paths.siteFile);
  EXPECT_EQ(again.logFolder, paths.logFolder);
}

TEST(DataPaths, JoinsOnlyTheGivenParts) {
  TempFolder base;
  EXPECT_EQ(MakeDataPath(base.Path(), L"", L""), base.Path());
  EXPECT_EQ(MakeDataPath(base.Path(), L"", L"a.txt"), base.Path() + L"\\a.txt");
  EXPECT_EQ(MakeDataPath(base.Path(), L"x\\y\\z", L""), base.Path() + L"\\x\\y\\z");
  EXPECT_TRUE(FolderExists(base / L"x\\y\\z"));
}

TEST(DataPaths, PathsBeyondMaxPathWorkEndToEnd) {
  TempFolder root;
  std::wstring base = root.Path();
  while (base.size() < 300) base += L"\\" + std::wstring(40, L'd');
  const DataPaths paths = MakeDataPaths(base);
  ASSERT_GT(paths.settingsFile.size(), 300u);
  EXPECT_TRUE(FolderExists(paths.logFolder));

  SettingsRecord record{};
  record.intervalSeconds = 120;
  ASSERT_TRUE(WriteSettingsFile(paths.settingsFile, record));
  EXPECT_EQ(ReadSettingsFile(paths.settingsFile).intervalSeconds, 120);
  ASSERT_TRUE(WriteSiteFile(paths.siteFile, L"http://a.com"));
  EXPECT_EQ(ReadSiteFile(paths.siteFile), L"http://a.com");
}

}  // namespace
