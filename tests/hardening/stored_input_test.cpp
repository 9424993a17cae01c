// Damaged data files, generated from fixed seeds: Config.dat of every size with any bytes
// (text fields without terminators included) and site.txt with any bytes. Reading never
// goes past a field or a bound, and the settings are repaired into values the lists offer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "monitor/monitor_settings.h"
#include "storage/settings_fields.h"
#include "storage/settings_file.h"
#include "storage/site_file.h"
#include "temp_folder.h"

namespace {

std::string RandomBytes(std::mt19937& random, size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A repaired setting is one the list offers, at the index that shows it; a stored value
// the list offers is kept as it is.
void ExpectOffered(const SettingChoices& choices, int32_t stored, int index, int32_t value, const char* name) {
  ASSERT_GE(index, 0) << name;
  ASSERT_LT(static_cast<size_t>(index), choices.entries.size()) << name;
  EXPECT_EQ(choices.entries[static_cast<size_t>(index)].value, value) << name;
  for (const SettingChoice& entry : choices.entries) {
    if (entry.value == stored) {
      EXPECT_EQ(stored, value) << name;
    }
  }
}

// Config.dat contents of one size: random bytes, plausible settings, or text fields
// packed with characters and no terminator anywhere.
std::string SettingsFileBytes(std::mt19937& random, size_t size, int kind) {
  std::string bytes = RandomBytes(random, size);
  if (kind == 1 && size >= 16) {
    const int32_t plausible[4] = {static_cast<int32_t>(30 * (random() % 31)), static_cast<int32_t>(random() % 5),
                                  static_cast<int32_t>(10 * (random() % 31)), static_cast<int32_t>(random() % 3)};
    std::memcpy(bytes.data(), plausible, sizeof plausible);
  } else if (kind == 2) {
    for (size_t i = offsetof(SettingsRecord, machineId); i + 1 < size; i += 2) {
      const wchar_t unit = static_cast<wchar_t>(random() % 2 ? L'A' + random() % 26 : 0x4E00 + random() % 0x5000);
      bytes[i] = static_cast<char>(unit & 0xFF);
      bytes[i + 1] = static_cast<char>(unit >> 8);
    }
  }
  return bytes;
}

TEST(DamagedDataFiles, SettingsFileOfEverySizeAndContent) {
  TempFolder folder;
  const std::wstring path = folder / L"Config.dat";
  std::mt19937 random(31337);
  for (size_t size = 0; size <= 300; ++size) {
    for (int n = 0; n < 12; ++n) {
      const std::string bytes = SettingsFileBytes(random, size, n % 3);
      ASSERT_TRUE(WriteAllBytes(path, bytes));
      const SettingsRecord record = ReadSettingsFile(path);

      // The file's first bytes, zeros after a short file, nothing beyond the record; only
      // the last unit of each text field is forced to end the text.
      std::string expected(sizeof(SettingsRecord), '\0');
      std::memcpy(expected.data(), bytes.data(), std::min(size, expected.size()));
      expected[offsetof(SettingsRecord, userName) - 2] = expected[offsetof(SettingsRecord, userName) - 1] = '\0';
      expected[sizeof(SettingsRecord) - 2] = expected[sizeof(SettingsRecord) - 1] = '\0';
      ASSERT_EQ(0, std::memcmp(expected.data(), &record, sizeof record)) << "size " << size << " case " << n;

      // Each text field is read within itself.
      const std::wstring machineId = ReadField(record.machineId);
      const std::wstring userName = ReadField(record.userName);
      EXPECT_LE(machineId.size(), std::size(record.machineId) - 1);
      EXPECT_LE(userName.size(), std::size(record.userName) - 1);
      EXPECT_EQ(0, std::wmemcmp(machineId.data(), record.machineId, machineId.size()));
      EXPECT_EQ(0, std::wmemcmp(userName.data(), record.userName, userName.size()));
      if (n % 3 == 2 && size == sizeof(SettingsRecord)) {
        EXPECT_EQ(std::size(record.machineId) - 1, machineId.size());
        EXPECT_EQ(std::size(record.userName) - 1, userName.size());
      }

      const MonitorSettings stored{record.intervalSeconds, record.retryCount, record.retryIntervalSeconds,
                                   record.emailReminder};
      const RestoredSettings restored = RestoreSettings(stored);
      ExpectOffered(kIntervalChoices, stored.intervalSeconds, restored.intervalIndex,
                    restored.settings.intervalSeconds, "interval");
      ExpectOffered(kRetryCountChoices, stored.retryCount, restored.retryCountIndex, restored.settings.retryCount,
                    "retry count");
      ExpectOffered(kRetryIntervalChoices, stored.retryIntervalSeconds, restored.retryIntervalIndex,
                    restored.settings.retryIntervalSeconds, "retry interval");
      ExpectOffered(kEmailReminderChoices, stored.emailReminder, restored.emailReminderIndex,
                    restored.settings.emailReminder, "e-mail reminder");
      if (HasFailure()) return;
    }
  }
}

// site.txt contents: random bytes, ASCII with NULs, broken double-byte sequences of code
// page 936, and files far beyond anything the program stores.
std::string SiteFileBytes(std::mt19937& random, int kind) {
  switch (kind) {
    case 0:
      return RandomBytes(random, random() % 3000);
    case 1: {
      std::string bytes = RandomBytes(random, random() % 2000);
      for (char& c : bytes) c = static_cast<char>(random() % 8 == 0 ? 0 : 1 + random() % 0x7F);
      return bytes;
    }
    case 2: {  // lead bytes followed by bytes that cannot trail, or by nothing at all
      std::string bytes;
      for (int n = static_cast<int>(random() % 400); n > 0; --n) {
        bytes += static_cast<char>(0x81 + random() % 0x7E);
        static const unsigned char kBadTrail[] = {0x00, 0x0A, 0x0D, 0x20, 0x3F, 0x7F, 0xFF, 0x80};
        if (random() % 4) bytes += static_cast<char>(random() % 2 ? kBadTrail[random() % 8] : random());
      }
      return bytes;
    }
    default:
      return RandomBytes(random, 100 * 1024 + random() % 1024);
  }
}

TEST(DamagedDataFiles, SiteFileOfAnyBytes) {
  ASSERT_EQ(936u, GetACP()) << "the tests run with the Chinese ANSI code page";
  TempFolder folder;
  const std::wstring path = folder / L"site.txt";
  const std::wstring prefixPath = folder / L"prefix.txt";
  std::mt19937 random(8086);
  for (int n = 0; n < 1200; ++n) {
    const int kind = n % 8 == 7 ? 3 : n % 3;
    const std::string bytes = SiteFileBytes(random, kind);
    ASSERT_TRUE(WriteAllBytes(path, bytes));
    const auto text = ReadSiteFile(path);
    ASSERT_TRUE(text.has_value()) << "case " << n;

    const size_t nul = std::min(bytes.find('\0'), bytes.size());
    EXPECT_EQ(std::wstring::npos, text->find(L'\0')) << "case " << n;
    EXPECT_LE(text->size(), std::min(nul, kMaxSiteFileBytes)) << "case " << n;
    // Everything from the first NUL on is ignored: the text is that of the bytes before it.
    if (nul < bytes.size() && nul < kMaxSiteFileBytes) {
      ASSERT_TRUE(WriteAllBytes(prefixPath, bytes.substr(0, nul)));
      EXPECT_EQ(ReadSiteFile(prefixPath), text) << "case " << n;
    }
    if (kind == 1) {  // ASCII comes back byte for byte
      EXPECT_EQ(std::wstring(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nul)), *text);
    }
    if (HasFailure()) return;
  }
}

TEST(DamagedDataFiles, StoredSiteListsComeBackUnchanged) {
  TempFolder folder;
  const std::wstring path = folder / L"site.txt";
  std::mt19937 random(1990);
  for (int n = 0; n < 300; ++n) {
    // Text the code page can hold: ASCII, line breaks and common CJK ideographs.
    std::wstring text;
    for (size_t length = random() % 1024; text.size() < length;) {
      const unsigned kind = random() % 10;
      text += kind < 5   ? static_cast<wchar_t>(0x20 + random() % 0x5F)
              : kind < 6 ? L'\r'
              : kind < 7 ? L'\n'
                         : static_cast<wchar_t>(0x4E00 + random() % 0x51A6);
    }
    ASSERT_TRUE(WriteSiteFile(path, text));
    EXPECT_EQ(text, ReadSiteFile(path).value_or(L"<unreadable>")) << "case " << n;
    if (HasFailure()) return;
  }
}

}  // namespace
