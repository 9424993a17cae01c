// Reads the decimal integer at the start of a text the way the C runtime's atoi does:
// leading white space, then an optional sign, then digits up to the first non-digit.
// No digits gives 0; a value beyond the 32-bit range is clamped to INT32_MIN/INT32_MAX.
#pragma once

#include <cstddef>
#include <cstdint>

int32_t LeadingDecimal(const char* text, size_t length);
int32_t LeadingDecimal(const wchar_t* text, size_t length);
