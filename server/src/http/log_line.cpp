#include "http/log_line.h"

#include <cstdio>
#include <ctime>

#include "text/utf8_text.h"

namespace {

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
