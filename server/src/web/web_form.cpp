#include "web/web_form.h"

#include <sodium.h>

#include "text/utf8_text.h"

namespace {

constexpr size_t kMaxFields = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] != '%') {
      out += text[i];
    } else {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  if (!IsCleanUtf8(out, true)) return std::nullopt;
  return out;
}

const std::string kEmpty;

}  // namespace

bool IsCleanUtf8(std::string_view text, bool lines) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if ((c < 0x20 && !(lines && (c == '\t' || c == '\n' || c == '\r'))) || c == 0x7F) return false;
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::optional<WebForm> WebForm::Read(std::string_view text) {
  WebForm form;
  while (!text.empty()) {
    const size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (pair.empty()) continue;
    const size_t equals = pair.find('=');
    auto name = Decode(pair.substr(0, equals));
    auto value = Decode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
    if (!name || !value || form.fields_.size() == kMaxFields) return std::nullopt;
    for (const auto& field : form.fields_) {
      if (field.first == *name) return std::nullopt;
    }
    form.fields_.emplace_back(std::move(*name), std::move(*value));
  }
  return form;
}

const std::string& WebForm::operator[](std::string_view name) const {
  for (const auto& [key, value] : fields_) {
    if (key == name) return value;
  }
  return kEmpty;
}

WebForm::~WebForm() {
  for (auto& field : fields_) sodium_memzero(field.second.data(), field.second.size());
}
