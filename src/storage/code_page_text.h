// Conversion between the system ANSI code page (936 on Simplified Chinese systems) and
// UTF-16, used for the site file. Conversions use no flags and the system's own default
// character, so text the code page cannot represent comes back changed, never refused.
#pragma once

#include <string>
#include <string_view>

// The whole of `bytes` (NULs included) converted from the ANSI code page.
std::wstring AnsiToWide(std::string_view bytes);
// The whole of `text` (NULs included) converted to the ANSI code page.
std::string WideToAnsi(std::wstring_view text);

// Holds the result of the latest conversion. Each conversion drops both previous results;
// the returned pointer stays valid until the next conversion or the holder's destruction.
// A null source converts to the empty text.
class CUserChar {
 public:
  CUserChar() = default;
  virtual ~CUserChar() = default;

  CUserChar(const CUserChar&) = delete;
  CUserChar& operator=(const CUserChar&) = delete;

  // `text` is read up to its terminator.
  const wchar_t* AnsiToUnicode(const char* text);
  const char* UnicodeToAnsi(const wchar_t* text);

 private:
  std::string narrow_;
  std::wstring wide_;
};
