#include "storage/code_page_text.h"

#include <windows.h>

#include <climits>

std::wstring AnsiToWide(std::string_view bytes) {
  // The converters count in int; a longer text is refused rather than cut silently.
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int done = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), needed);
  wide.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  const int done =
      WideCharToMultiByte(CP_ACP, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  narrow.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
  return narrow;
}

const wchar_t* CUserChar::AnsiToUnicode(const char* text) {
  narrow_.clear();
  narrow_.shrink_to_fit();
  wide_ = text ? AnsiToWide(text) : std::wstring();
  return wide_.c_str();
}

const char* CUserChar::UnicodeToAnsi(const wchar_t* text) {
  wide_.clear();
  wide_.shrink_to_fit();
  narrow_ = text ? WideToAnsi(text) : std::string();
  return narrow_.c_str();
}
