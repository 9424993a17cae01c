#include "http/log_line.h"

#include <cstdio>
#include <ctime>

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text` (2 to 4), or 0. C1
// controls (U+0080 to U+009F) and the line and paragraph separators count as malformed.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned long code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code <= 0x9F || code == 0x2028 || code == 0x2029) return 0;
  return length;
}

bool NeedsEscape(unsigned char c) {
  return c < 0x21 || c == 0x7F || c == '\\' || c == '[' || c == ']' || c == '"';
}

}  // namespace

std::string EscapeLogField(std::string_view text, size_t limit) {
  static const char kHex[] = "0123456789ABCDEF";
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (const size_t length = Utf8SequenceLength(text.substr(i)); length > 0) {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
    }
    if (c >= 0x80 || NeedsEscape(c)) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  if (cut) out += "...";
  return out.empty() ? "-" : out;
}

std::string FormatLogLine(const RequestLogEntry& entry, long long unixSeconds) {
  char stamp[32] = {};
  const std::time_t now = static_cast<std::time_t>(unixSeconds);
  std::tm parts{};
  gmtime_r(&now, &parts);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
  char tail[64];
  std::snprintf(tail, sizeof tail, " %.1fms", entry.milliseconds);
  return std::string(stamp) + " " + EscapeLogField(entry.client) + " " + EscapeLogField(entry.action, 64) + " [" +
         (entry.username.empty() ? std::string() : EscapeLogField(entry.username)) +
         "] status=" + std::to_string(entry.status) + " " + EscapeLogField(entry.info) + tail;
}

void WriteLogLine(const RequestLogEntry& entry) {
  const std::string line = FormatLogLine(entry, static_cast<long long>(std::time(nullptr))) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}
