#include "storage/code_page_text.h"

#include "text/code_page.h"

const wchar_t* CUserChar::AnsiToUnicode(const char* text) {
  narrow_.clear();
  narrow_.shrink_to_fit();
  wide_ = text ? CodePageToWide(text, CP_ACP) : std::wstring();
  return wide_.c_str();
}

const char* CUserChar::UnicodeToAnsi(const wchar_t* text) {
  wide_.clear();
  wide_.shrink_to_fit();
  narrow_ = text ? WideToCodePage(text, CP_ACP) : std::string();
  return narrow_.c_str();
}
