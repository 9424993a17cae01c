// The program writes its forms in the Windows code page 936 (GBK); the service keeps and
// mails text in UTF-8.
#pragma once

#include <string>
#include <string_view>

// Converts code-page-936 bytes to UTF-8 into `out` (replacing its content) without
// intermediate copies, so a secret leaves no stray bytes behind; false when the bytes are
// not valid GBK (then `out` is wiped and empty).
bool GbkToUtf8(std::string_view gbk, std::string& out);

// The number of characters in UTF-8 text (what the program counts as UTF-16 units for
// every character of the Basic Multilingual Plane).
size_t Utf8Length(std::string_view utf8);
