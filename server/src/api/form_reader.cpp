#include "api/form_reader.h"

#include <sodium.h>

#include <charconv>

#include "api/gbk_text.h"

FormFields::~FormFields() {
  for (auto& value : values_) sodium_memzero(value.data(), value.size());
}

std::optional<FormFields> ReadForm(std::string_view body, std::span<const std::string_view> fieldNames) {
  FormFields fields(fieldNames.size());
  size_t position = 0;
  for (size_t i = 0; i < fieldNames.size(); ++i) {
    const std::string_view name = fieldNames[i];
    if (body.compare(position, name.size(), name) != 0 || body.substr(position + name.size(), 1) != "=") {
      return std::nullopt;
    }
    const size_t start = position + name.size() + 1;
    size_t end = body.size();
    if (i + 1 < fieldNames.size()) {
      std::string next(1, '&');
      next.append(fieldNames[i + 1]).push_back('=');
      end = body.find(next, start);
      if (end == std::string_view::npos) return std::nullopt;
    }
    // On failure the values read so far are wiped with `fields`.
    if (!GbkToUtf8(body.substr(start, end - start), fields.AddEmpty())) return std::nullopt;
    position = end + 1;
  }
  return fields;
}

std::optional<int32_t> ReadInt32(std::string_view text) {
  const size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
  if (digits == 0 || digits > 10) return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}
