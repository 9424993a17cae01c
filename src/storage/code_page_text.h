// CUserChar: the site text converted between the system ANSI code page and UTF-16, with
// both results owned by the holder (the conversion itself is text/code_page.h's).
#pragma once

#include <string>

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
