// Bounded access to the fixed UTF-16 text fields of the settings record (userName,
// machineId): reads never run past the field, writes never overrun it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/settings_record.h"

// Characters the fields hold, without their terminators.
inline constexpr size_t kMaxUserNameLength = sizeof(SettingsRecord::userName) / sizeof(wchar_t) - 1;

// The field's text up to its terminator, or the whole field when a record read from
// disk carries none.
template <size_t N>
std::wstring RecordText(const wchar_t (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != L'\0') ++length;
  return std::wstring(field, length);
}

// Stores text into the field, cut to N - 1 units, and zero-fills the rest.
template <size_t N>
void SetRecordText(wchar_t (&field)[N], std::wstring_view text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  for (size_t i = 0; i < N; ++i) field[i] = i < length ? text[i] : L'\0';
}
