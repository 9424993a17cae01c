// Every limit the HTTP side puts on a client, in one place. The program sends one small
// HTTP/1.0 POST per connection (head under 300 bytes, form under 600 bytes) and reads one
// reply; everything beyond that is refused early and cheaply.
#pragma once

#include <chrono>
#include <cstddef>

// The largest form body read: the program's forms are at most 259 characters (518 bytes).
inline constexpr size_t kMaxBodyBytes = 2048;
// The request line and headers together.
inline constexpr size_t kMaxHeaderBytes = 8192;
// From the accepted connection to the last byte of the body: a client that has not sent its
// whole request by then is closed without an answer.
inline constexpr std::chrono::seconds kRequestDeadline{10};
// For writing the whole reply.
inline constexpr std::chrono::seconds kReplyDeadline{10};
// After a refusal the service stops sending and reads (and drops) what the client still
// sends, so that the refusal is not lost to a reset; at most this much, for at most this long.
inline constexpr size_t kLingerBytes = 64 * 1024;
inline constexpr std::chrono::seconds kLingerTime{1};
// On SIGTERM or SIGINT: requests already read get this long to be answered.
inline constexpr std::chrono::seconds kStopGrace{2};
// The metrics port's own allowance of open connections, apart from `max_connections`: a
// flood on the service's port never keeps the scraper and the health check out.
inline constexpr size_t kMetricsPortConnections = 32;
