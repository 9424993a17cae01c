// Cuts a text to what a fixed-size field holds, never splitting a surrogate pair.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most `maxChars` UTF-16 units of `text` (the field's size minus its terminating NUL).
std::wstring LimitText(std::wstring_view text, std::size_t maxChars);
