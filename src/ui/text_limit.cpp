#include "ui/text_limit.h"

std::wstring LimitText(std::wstring_view text, std::size_t maxChars) {
  if (text.size() <= maxChars) return std::wstring(text);
  std::size_t keep = maxChars;
  // Do not leave the first half of a surrogate pair at the end.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  return std::wstring(text.substr(0, keep));
}
