#include "storage/settings_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "win/unique_handle.h"
#include "storage/settings_fields.h"
#include "temp_folder.h"

namespace {

std::string Int32Le(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
          static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}

std::string Utf16Le(std::wstring_view text) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::string RecordBytes(const SettingsRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

SettingsRecord FilledRecord(unsigned char byte) {
  SettingsRecord record;
  std::memset(&record, byte, sizeof record);
  return record;
}

TEST(SettingsFile, StoresTheRecordByteForByte) {
  TempFolder folder;
  // The fields in the order the file holds them.
  SettingsRecord record{300, 2, 120, 1, 17, 2, 1700000000, 1750000000, -1, {}, {}};
  CopyToField(record.machineId, L"M-1", FieldFit::kRefuse);
  CopyToField(record.userName, L"a@b.cn", FieldFit::kRefuse);
  ASSERT_TRUE(WriteSettingsFile(folder / L"Config.dat", record));

  std::string expected = Int32Le(300) + Int32Le(2) + Int32Le(120) + Int32Le(1) + Int32Le(17) +
                         Int32Le(2) + Int32Le(1700000000) + Int32Le(1750000000) + Int32Le(-1);
  expected += Utf16Le(L"M-1") + std::string(42 - 6, '\0');
  expected += Utf16Le(L"a@b.cn") + std::string(166 - 12, '\0');
  ASSERT_EQ(expected.size(), 244u);
  EXPECT_EQ(ReadAllBytes(folder / L"Config.dat"), expected);
}

TEST(SettingsFile, ReadsWhatTheFileHolds) {
  const std::string full = RecordBytes(FilledRecord(0x5A));
  const std::string settings = Int32Le(900) + Int32Le(1) + Int32Le(10) + Int32Le(1);
  struct Case {
    const char* name;
    std::string content;
    std::string expectedPrefix;  // the rest of the record is zero
  } cases[] = {
      {"empty file", "", ""},
      {"16 bytes: the four settings, signed out", settings, settings},
      {"300 bytes: the first 244 count", full + std::string(56, '\x7F'), full},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    ASSERT_TRUE(WriteAllBytes(folder / L"Config.dat", c.content));
    const std::string read = RecordBytes(ReadSettingsFile(folder / L"Config.dat"));
    std::string expected = c.expectedPrefix + std::string(244 - c.expectedPrefix.size(), '\0');
    TerminateTextFields(*reinterpret_cast<SettingsRecord*>(expected.data()));
    EXPECT_EQ(read, expected);
  }
}

TEST(SettingsFile, MissingFileGivesTheZeroRecord) {
  TempFolder folder;
  EXPECT_EQ(RecordBytes(ReadSettingsFile(folder / L"Config.dat")), std::string(244, '\0'));
  EXPECT_EQ(RecordBytes(ReadSettingsFile(folder / L"no-such-folder\\Config.dat")),
            std::string(244, '\0'));
}

TEST(SettingsFile, ReadOnlyFileCountsAsMissingAndIsNotUpdated) {
  TempFolder folder;
  const std::wstring path = folder / L"Config.dat";
  const std::string stored = RecordBytes(FilledRecord(0x01));
  ASSERT_TRUE(WriteAllBytes(path, stored));
  ASSERT_TRUE(SetReadOnly(path, true));

  EXPECT_EQ(RecordBytes(ReadSettingsFile(path)), std::string(244, '\0'));
  EXPECT_FALSE(WriteSettingsFile(path, FilledRecord(0x02)));
  EXPECT_EQ(ReadAllBytes(path), stored);
}

TEST(SettingsFile, ChineseUserNameRoundTrips) {
  TempFolder folder;
  SettingsRecord record{};
  record.intervalSeconds = 60;
  ASSERT_TRUE(CopyToField(record.userName, L"测试用户@例子.中国", FieldFit::kRefuse));
  ASSERT_TRUE(WriteSettingsFile(folder / L"Config.dat", record));
  const SettingsRecord back = ReadSettingsFile(folder / L"Config.dat");
  EXPECT_EQ(ReadField(back.userName), L"测试用户@例子.中国");
  EXPECT_EQ(RecordBytes(back), RecordBytes(record));
}

TEST(SettingsFile, UnterminatedTextFieldsAreReadWithinTheirFields) {
  TempFolder folder;
  SettingsRecord damaged{};
  for (wchar_t& c : damaged.machineId) c = L'A';
  for (wchar_t& c : damaged.userName) c = L'B';
  // ReadField alone never runs from machineId into userName.
  EXPECT_EQ(ReadField(damaged.machineId), std::wstring(21, L'A'));

  ASSERT_TRUE(WriteAllBytes(folder / L"Config.dat", RecordBytes(damaged) + "CCCC"));
  const SettingsRecord read = ReadSettingsFile(folder / L"Config.dat");
  EXPECT_EQ(std::wstring(read.machineId), std::wstring(20, L'A'));
  EXPECT_EQ(std::wstring(read.userName), std::wstring(82, L'B'));
}

TEST(SettingsFields, CopyKeepsWithinTheField) {
  const std::wstring twenty(20, L'x');
  const std::wstring pairAtEnd = std::wstring(19, L'x') + L"\U0001F600";  // 21 units
  struct Case {
    const char* name;
    std::wstring text;
    FieldFit fit;
    bool accepted;
    std::wstring stored;
  } cases[] = {
      {"fits", L"PC-01", FieldFit::kRefuse, true, L"PC-01"},
      {"exactly full", twenty, FieldFit::kRefuse, true, twenty},
      {"too long, refused", twenty + L"y", FieldFit::kRefuse, false, L"old"},
      {"too long, cut", twenty + L"y", FieldFit::kTruncate, true, twenty},
      {"cut keeps pairs whole", pairAtEnd, FieldFit::kTruncate, true, std::wstring(19, L'x')},
      {"stops at a NUL", std::wstring(L"ab\0cd", 5), FieldFit::kRefuse, true, L"ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsRecord record = FilledRecord(0xEE);
    const std::wstring userNameBefore(record.userName, 83);
    std::memcpy(record.machineId, L"old", 8);
    EXPECT_EQ(CopyToField(record.machineId, c.text, c.fit), c.accepted);
    EXPECT_EQ(std::wstring(record.machineId), c.stored);
    EXPECT_EQ(std::wstring(record.userName, 83), userNameBefore);  // neighbour untouched
    if (c.accepted) {
      for (std::size_t i = c.stored.size(); i < 21; ++i) EXPECT_EQ(record.machineId[i], L'\0');
    }
  }
}

TEST(SettingsFile, SignInMergeKeepsOnlyTheFirstTwelveBytesOfOwn) {
  const std::string merged = RecordBytes(MergeSignInRecord(FilledRecord(0x11), FilledRecord(0x22)));
  EXPECT_EQ(merged, std::string(12, '\x11') + std::string(232, '\x22'));
}

TEST(SettingsFile, FailedWriteLeavesTheOldFileAndNoLeftovers) {
  TempFolder folder;
  const std::wstring path = folder / L"Config.dat";
  const std::string stored = RecordBytes(FilledRecord(0x01));
  ASSERT_TRUE(WriteAllBytes(path, stored));
  {
    // Another process holding the file without sharing delete makes the replace fail.
    win::FileHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(WriteSettingsFile(path, FilledRecord(0x02)));
  }
  EXPECT_EQ(ReadAllBytes(path), stored);
  EXPECT_FALSE(PathExists(path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp"));

  EXPECT_FALSE(WriteSettingsFile(folder / L"missing\\Config.dat", FilledRecord(0x02)));
}

}  // namespace
