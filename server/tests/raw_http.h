// Raw TCP over loopback for tests: connections from any 127.x address to a server on
// 127.0.0.1, bytes sent exactly as given (the service sees the program's request byte for
// byte), answers read until the server closes.
#pragma once

#include <string>

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// A connection to 127.0.0.1:port from the loopback address `from` (127.0.0.2 and up stand
// for other clients); -1 when it cannot connect. The caller closes it.
int ConnectFrom(int port, const std::string& from = "127.0.0.1");
// False when the other side stopped taking bytes.
bool SendAll(int fd, const std::string& bytes);
// Reads until the other side closes or `seconds` pass without a byte; what arrived.
std::string ReadUntilClosed(int fd, double seconds);
// Sends `request` from `from` and returns every byte of the answer; "" when no connection.
std::string RawExchange(int port, const std::string& request, const std::string& from = "127.0.0.1");
// A GET of `path` with `headers` (each line ending in CRLF) sent from `from`; the whole answer.
std::string RawGet(int port, const std::string& path, const std::string& from = "127.0.0.1",
                   const std::string& headers = "");

// The request the program sends for `action` with `body` (code page 936), head and all,
// as its own wire test records it.
std::string ProgramRequest(int port, const std::string& action, const std::string& body);
