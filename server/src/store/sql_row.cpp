#include "store/sql_connection.h"

#include <charconv>

int64_t SqlRow::Int(size_t column) const {
  const auto& field = fields_.at(column);
  if (!field) return 0;
  int64_t value = 0;
  const auto [end, error] = std::from_chars(field->data(), field->data() + field->size(), value);
  if (error != std::errc() || end != field->data() + field->size()) {
    throw std::runtime_error("not a whole number in column " + std::to_string(column) + ": " + *field);
  }
  return value;
}

const std::string& SqlRow::Text(size_t column) const {
  static const std::string kEmpty;
  const auto& field = fields_.at(column);
  return field ? *field : kEmpty;
}
