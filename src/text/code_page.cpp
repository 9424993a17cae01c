#include "text/code_page.h"

#include <climits>

std::wstring CodePageToWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int done = MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), needed);
  wide.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
  return wide;
}

std::string WideToCodePage(std::wstring_view text, UINT codePage) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  const int done = WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  narrow.resize(done > 0 ? static_cast<std::size_t>(done) : 0);  // shrinking never reallocates
  return narrow;
}
