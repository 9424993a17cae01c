// The pages' own forms and queries (application/x-www-form-urlencoded, as a browser sends
// them): names and values percent-decoded, "+" a space, every value well-formed UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class WebForm {
 public:
  // Nothing when the text is not a well-formed form: a bad percent escape, a value that is
  // not UTF-8 or holds a control character, a name given twice, more than 16 fields.
  static std::optional<WebForm> Read(std::string_view text);
  // The field's value, "" when missing.
  const std::string& operator[](std::string_view name) const;
  // Wipes the values (they may hold passwords).
  ~WebForm();
  WebForm() = default;
  WebForm(WebForm&&) = default;
  WebForm& operator=(WebForm&&) = default;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// True when `text` is well-formed UTF-8 with no control characters (C1 controls and the
// line separators included; tab and newline aside when `lines` is true).
bool IsCleanUtf8(std::string_view text, bool lines = false);
