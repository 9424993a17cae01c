// Reads the program's forms from the raw request body.
//
// The program fills a fixed template ("username=%s&id=%s&...") with values exactly as they
// are: nothing is percent-encoded, a plus is a plus, and a value may itself hold "&" and
// "=" (Base64 padding, a site address with a query). So a body is read by its template,
// not split at every "&": it must begin with the first field's name and "="; each value
// runs up to the first "&" followed by the next field's name and "="; the last value runs
// to the end of the body. The bytes are code page 936 (GBK) and come out as UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The values of one form, in template order; wiped when destroyed, since a sign-in form
// holds the password.
class FormFields {
 public:
  // Room for every field up front: a reallocation would leave copies of short values behind.
  explicit FormFields(size_t count) { values_.reserve(count); }
  ~FormFields();
  FormFields(FormFields&&) = default;
  FormFields& operator=(FormFields&&) = delete;
  FormFields(const FormFields&) = delete;
  FormFields& operator=(const FormFields&) = delete;

  const std::string& operator[](size_t index) const { return values_[index]; }
  size_t size() const { return values_.size(); }
  std::string& AddEmpty() { return values_.emplace_back(); }

 private:
  std::vector<std::string> values_;
};

// Nothing when the body does not follow the template or is not valid GBK.
std::optional<FormFields> ReadForm(std::string_view body, std::span<const std::string_view> fieldNames);

// A decimal integer field: an optional minus and 1 to 10 digits that fit 32 bits, nothing else.
std::optional<int32_t> ReadInt32(std::string_view text);

// The templates of the three requests.
inline constexpr std::string_view kLoginFields[] = {"username", "pwd", "id", "softtype", "ver"};
inline constexpr std::string_view kInfoFields[] = {"username", "id", "softtype", "ver"};
inline constexpr std::string_view kReminderFields[] = {"username", "id", "softtype", "ver", "tpl", "code", "url"};
