#include "storage/settings_file.h"

#include <cstring>
#include <string_view>

#include "storage/file_access.h"
#include "storage/settings_fields.h"
#include "storage/staged_file.h"

SettingsRecord ReadSettingsFile(const std::wstring& path) {
  SettingsRecord record{};
  const auto bytes = ReadWritableFile(path, sizeof record);
  if (bytes) std::memcpy(&record, bytes->data(), bytes->size());
  TerminateTextFields(record);
  return record;
}

bool WriteSettingsFile(const std::wstring& path, const SettingsRecord& record) {
  return ReplaceFileContents(
      path, std::string_view(reinterpret_cast<const char*>(&record), sizeof record));
}

SettingsRecord MergeSignInRecord(const SettingsRecord& own, const SettingsRecord& dialogCopy) {
  SettingsRecord merged = dialogCopy;
  merged.intervalSeconds = own.intervalSeconds;
  merged.retryCount = own.retryCount;
  merged.retryIntervalSeconds = own.retryIntervalSeconds;
  return merged;
}
