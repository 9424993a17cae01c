#include "account/reply_document.h"

#include <cstring>
#include <string>

#include "text/code_page.h"
#include "text/leading_decimal.h"

bool ReplyDocument::Parse(const char* text) {
  error_ = kNotParsed;
  if (!text) return false;
  // The iterative parser accepts exactly what the recursive default one does, but keeps
  // its nesting on the heap: a reply of a hundred thousand '[' would otherwise overflow the
  // calling thread's stack and end the process.
  document_.Parse<rapidjson::kParseIterativeFlag>(text);
  if (document_.HasParseError()) {
    error_ = static_cast<int>(document_.GetParseError());
  } else if (document_.IsObject() || document_.IsArray()) {
    error_ = 0;
  }
  return error_ == 0;
}

const rapidjson::Value* ReplyDocument::Find(const char* key) const {
  // An array root has no members: every lookup gives its default.
  if (error_ != 0 || !key || !document_.IsObject()) return nullptr;
  auto member = document_.FindMember(key);
  return member == document_.MemberEnd() ? nullptr : &member->value;
}

int32_t ReplyDocument::GetInt(const char* key, int32_t defaultValue) const {
  const rapidjson::Value* value = Find(key);
  if (!value) return defaultValue;
  if (value->IsInt()) return value->GetInt();
  if (value->IsBool()) return value->GetBool() ? 1 : 0;
  if (value->IsString()) return LeadingDecimal(value->GetString(), value->GetStringLength());
  if (value->IsDouble()) {
    // Truncation toward zero is defined only when the result fits.
    const double d = value->GetDouble();
    if (d > -2147483649.0 && d < 2147483648.0) return static_cast<int32_t>(d);
  }
  // null, objects, arrays and whole numbers outside the 32-bit range.
  return defaultValue;
}

const wchar_t* ReplyDocument::GetText(const char* key, const wchar_t* defaultValue) {
  const rapidjson::Value* value = Find(key);
  if (!value) return defaultValue;
  if (value->IsString()) {
    texts_.push_back(CodePageToWide({value->GetString(), value->GetStringLength()}, CP_UTF8));
  } else if (value->IsInt()) {
    texts_.push_back(std::to_wstring(value->GetInt()));
  } else if (value->IsBool()) {
    texts_.push_back(value->GetBool() ? L"true" : L"false");
  } else {
    return defaultValue;
  }
  return texts_.back().c_str();
}
