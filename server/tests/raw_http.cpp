#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

sockaddr_in Address(const std::string& ip, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
  return address;
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Address("127.0.0.1", 0);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

int ConnectFrom(int port, const std::string& from) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const sockaddr_in local = Address(from, 0);
  const sockaddr_in server = Address("127.0.0.1", port);
  if (local.sin_addr.s_addr == 0 || bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
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

std::string RawExchange(int port, const std::string& request, const std::string& from) {
  const int fd = ConnectFrom(port, from);
  if (fd < 0) return "";
  SendAll(fd, request);
  std::string answer = ReadUntilClosed(fd, 30);
  close(fd);
  return answer;
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

std::string RawGet(int port, const std::string& path, const std::string& from, const std::string& headers) {
  return RawExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n", from);
}
