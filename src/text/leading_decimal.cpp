#include "text/leading_decimal.h"

#include <cstdint>

namespace {

template <typename Char>
bool IsSpace(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
int32_t Read(const Char* text, size_t length) {
  if (!text) return 0;
  size_t i = 0;
  while (i < length && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range.
  const int64_t limit = negative ? -int64_t{INT32_MIN} : int64_t{INT32_MAX};
  int64_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= limit) value = value * 10 + (text[i] - '0');
  }
  if (value > limit) value = limit;
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

int32_t LeadingDecimal(const char* text, size_t length) { return Read(text, length); }
int32_t LeadingDecimal(const wchar_t* text, size_t length) { return Read(text, length); }
