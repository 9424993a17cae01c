// Conversion between UTF-16 and a narrow code page: the system ANSI code page (936 on
// Simplified Chinese systems) for site.txt, the service's form bodies and the trace, UTF-8
// for the service's replies and the password. No conversion flags and the code page's own
// default character, so text a code page cannot represent comes back changed, never
// refused; invalid UTF-8 becomes U+FFFD.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The whole of `bytes` (NULs included); empty when the text is longer than the converters
// count (INT_MAX) or does not convert.
std::wstring CodePageToWide(std::string_view bytes, UINT codePage);
// The whole of `text` (NULs included), sized once, so a secret converted here is never
// copied by a reallocation; empty on the same conditions.
std::string WideToCodePage(std::wstring_view text, UINT codePage);
