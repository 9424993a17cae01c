#include "api/version_compare.h"

#include <array>
#include <charconv>
#include <optional>

namespace {

using Parts = std::array<long, 4>;

std::optional<Parts> Split(std::string_view text) {
  Parts parts{};
  size_t count = 0;
  while (true) {
    const size_t dot = text.find('.');
    const std::string_view piece = text.substr(0, dot);
    if (count == parts.size() || piece.empty() || piece.size() > 9) return std::nullopt;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), parts[count]);
    if (error != std::errc() || end != piece.data() + piece.size() || piece.front() == '-') return std::nullopt;
    ++count;
    if (dot == std::string_view::npos) return parts;
    text.remove_prefix(dot + 1);
  }
}

}  // namespace

bool IsOlderVersion(std::string_view version, std::string_view latest) {
  const auto mine = Split(version);
  const auto newest = Split(latest);
  return mine && newest && *mine < *newest;
}

bool IsVersionText(std::string_view text) { return Split(text).has_value(); }
