// Bounded access to the two text fields of the settings record. A damaged Config.dat may
// hold a field without its terminator, and a caller may hand in a text longer than the
// field: neither may read or write past the field.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "storage/settings_record.h"

// What to do with a text that does not fit a field (capacity minus the terminator).
enum class FieldFit {
  kTruncate,  // keep what fits, never splitting a surrogate pair
  kRefuse,    // leave the field unchanged and report false
};

// The field's text, up to its terminator or the end of the field, whichever comes first.
template <std::size_t N>
std::wstring ReadField(const wchar_t (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != L'\0') ++length;
  return std::wstring(field, length);
}

// Stores `text` (cut at an embedded NUL) with its terminator and zeros behind it, so that no
// tail of an older, longer value stays in the record. False only when refused.
template <std::size_t N>
bool CopyToField(wchar_t (&field)[N], std::wstring_view text, FieldFit fit) {
  static_assert(N > 1);
  text = text.substr(0, text.find(L'\0'));
  if (text.size() >= N) {
    if (fit == FieldFit::kRefuse) return false;
    std::size_t keep = N - 1;
    if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;  // lone high surrogate
    text = text.substr(0, keep);
  }
  std::wstring_view::size_type i = 0;
  for (; i < text.size(); ++i) field[i] = text[i];
  for (; i < N; ++i) field[i] = L'\0';
  return true;
}

// Makes both text fields end within themselves (the last unit of each becomes NUL); a valid
// value never reaches that unit, so only damaged fields change.
inline void TerminateTextFields(SettingsRecord& record) {
  record.machineId[std::size(record.machineId) - 1] = L'\0';
  record.userName[std::size(record.userName) - 1] = L'\0';
}
