#include <charconv>

#include "store/sql_connection.h"

int64_t SqlRow::Int(size_t column) const {
  const auto& field = fields_.at(column);
  if (!field) return 0;
  // PostgreSQL writes a boolean (EXISTS, a comparison) as "t" or "f" where SQLite gives 1 or 0.
  if (*field == "t" || *field == "f") return *field == "t" ? 1 : 0;
  int64_t value = 0;
  const char* end = field->data() + field->size();
  const auto [stop, error] = std::from_chars(field->data(), end, value);
  if (error != std::errc() || stop != end) {
    throw std::runtime_error("column " + std::to_string(column) + " holds no whole number: " + *field);
  }
  return value;
}

const std::string& SqlRow::Text(size_t column) const {
  static const std::string kNull;
  const auto& field = fields_.at(column);
  return field ? *field : kNull;
}
