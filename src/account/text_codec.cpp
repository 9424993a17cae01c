#include "account/text_codec.h"

#include <climits>

std::wstring Utf8ToUtf16(const char* data, size_t length) {
  std::wstring out;
  if (!data || length == 0 || length > INT_MAX) return out;
  const int n = static_cast<int>(length);
  int wide = MultiByteToWideChar(CP_UTF8, 0, data, n, nullptr, 0);
  if (wide <= 0) return out;
  out.resize(static_cast<size_t>(wide));
  MultiByteToWideChar(CP_UTF8, 0, data, n, out.data(), wide);
  return out;
}

std::string Utf16ToCodePage(std::wstring_view text, UINT codePage) {
  std::string out;
  if (text.empty() || text.size() > INT_MAX) return out;
  const int n = static_cast<int>(text.size());
  int narrow = WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return out;
  // Sized once, so a secret converted here is never copied by a reallocation.
  out.resize(static_cast<size_t>(narrow));
  WideCharToMultiByte(codePage, 0, text.data(), n, out.data(), narrow, nullptr, nullptr);
  return out;
}
