#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/time.h>

#include <cstdlib>

RawReply RawExchange(int port, const std::string& request, const char* from) {
  RawReply reply;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (inet_pton(AF_INET, from, &local.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    close(fd);
    return reply;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return reply;
  }
  for (size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  close(fd);
  const size_t space = answer.find(' ');
  const size_t blank = answer.find("\r\n\r\n");
  if (space == std::string::npos || blank == std::string::npos) return reply;
  reply.status = std::atoi(answer.c_str() + space + 1);
  reply.body = answer.substr(blank + 4);
  return reply;
}

std::string ProgramRequest(int port, const std::string& action, const std::string& body) {
  // The program's head as its WinINet client sends it, in this order.
  return "POST /index.php?g=Api&m=Client&a=" + action + " HTTP/1.0\r\n" +
         "Accept:  */*\r\n"
         "Host: 127.0.0.1:" + std::to_string(port) + "\r\n" +
         "Content-Length: " + std::to_string(body.size()) + "\r\n" +
         "User-Agent: Lumacorn\r\n"
         "Cache-Control: no-cache\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n"
         "\r\n" + body;
}

int ConnectFrom(int port, const std::string& from) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (inet_pton(AF_INET, from.c_str(), &local.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string ReadUntilClosed(int fd, double seconds) {
  timeval wait{};
  wait.tv_sec = static_cast<time_t>(seconds);
  wait.tv_usec = static_cast<suseconds_t>((seconds - static_cast<double>(wait.tv_sec)) * 1e6);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  return answer;
}
