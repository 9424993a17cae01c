// The service's one line per request on standard error. Every field that a client can
// influence is escaped, so no name, address or path can start a line of its own or pass
// for another field.
#pragma once

#include <string>
#include <string_view>

// `text` with every byte that could forge or garble a line written as \xHH: control
// characters, DEL, space, backslash, brackets, quotes, and bytes that are not part of
// well-formed UTF-8. Well-formed UTF-8 characters (a Chinese name) stay readable. At most
// `limit` bytes of `text` are shown, then "...".
std::string EscapeLogField(std::string_view text, size_t limit = 256);

struct RequestLogEntry {
  std::string_view client;    // the client address
  std::string_view action;    // login, getInfo, sendMsg or what was asked for
  std::string_view username;  // as decoded from the form
  int status = 0;             // the reply's "status"
  std::string_view info;      // the reply's "info"
  double milliseconds = 0;
};

// "2026-12-08T17:00:00Z 127.0.0.1 getInfo [me@x.cn] status=1 - 0.4ms" (no newline).
std::string FormatLogLine(const RequestLogEntry& entry, long long unixSeconds);

// Writes the line with a newline to standard error in one call.
void WriteLogLine(const RequestLogEntry& entry);
