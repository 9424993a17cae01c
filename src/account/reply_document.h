// A parsed account-service reply: a small JSON object whose members are read as 32-bit
// integers or UTF-16 texts with lenient conversions and defaults.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include <rapidjson/document.h>

class ReplyDocument {
 public:
  // ErrorCode() when the root is neither an object nor an array, or nothing was parsed.
  static constexpr int kNotParsed = -1;

  ReplyDocument() = default;
  ReplyDocument(const ReplyDocument&) = delete;
  ReplyDocument& operator=(const ReplyDocument&) = delete;

  // Parses the zero-terminated UTF-8 text as RapidJSON's default flags do, without
  // recursion (so any nesting depth is safe on any thread). Succeeds only without a parse
  // error and with an object or array at the root.
  bool Parse(const char* text);
  // 0 after a successful parse; RapidJSON's error code, or kNotParsed, otherwise.
  int ErrorCode() const { return error_; }

  // The root member key as an integer: whole numbers in the 32-bit range as they are,
  // other numbers truncated toward zero (default when out of range), true 1, false 0,
  // strings by their leading decimal integer; missing, null, objects, arrays and an
  // unparsed document give defaultValue.
  int32_t GetInt(const char* key, int32_t defaultValue) const;

  // The root member key as text: strings decoded from UTF-8, whole numbers in the
  // 32-bit range in decimal, true/false as "true"/"false"; anything else (and a missing
  // member) gives defaultValue itself. A produced text is owned by the document and
  // stays valid as long as it does.
  const wchar_t* GetText(const char* key, const wchar_t* defaultValue);

 private:
  const rapidjson::Value* Find(const char* key) const;

  rapidjson::Document document_;
  int error_ = kNotParsed;
  std::deque<std::wstring> texts_;  // produced by GetText; a deque never moves them
};
