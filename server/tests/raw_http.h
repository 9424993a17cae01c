// Sends bytes exactly as given to 127.0.0.1:port from a loopback address (`from`) and reads
// the answer until the server closes the connection: the service sees the program's
// request byte for byte.
#pragma once

#include <string>

struct RawReply {
  int status = 0;    // HTTP status, 0 when no answer came
  std::string body;  // after the blank line
};

RawReply RawExchange(int port, const std::string& request, const char* from = "127.0.0.1");

// The request the program sends for `action` with `body` (code page 936), head and all,
// as its own wire test records it.
std::string ProgramRequest(int port, const std::string& action, const std::string& body);

// A connection to 127.0.0.1:port from the loopback address `from` (127.0.0.2 and up stand
// for other clients); -1 when it cannot connect. The caller closes it.
int ConnectFrom(int port, const std::string& from);

// Reads until the other side closes or `seconds` pass without a byte; what arrived.
std::string ReadUntilClosed(int fd, double seconds);
