// Conversions at the edges of the service exchange: UTF-8 replies to UTF-16, and UTF-16
// text to the narrow code page the service expects (the ANSI code page for form bodies,
// UTF-8 for the password).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// Invalid UTF-8 sequences become U+FFFD. Embedded zero bytes are kept.
std::wstring Utf8ToUtf16(const char* data, size_t length);

// No conversion flags; characters the code page cannot represent become its default
// character. The result has no terminating zero of its own beyond std::string's.
std::string Utf16ToCodePage(std::wstring_view text, UINT codePage);
