#include "config/ip_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

std::optional<std::string> CanonicalIpAddress(std::string_view text) {
  // inet_pton reads up to a NUL: "1.2.3.4\0anything" must not pass for 1.2.3.4.
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::string copy(text);
  char out[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out);
  in6_addr v6{};
  if (inet_pton(AF_INET6, copy.c_str(), &v6) != 1) return std::nullopt;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, v6.s6_addr + 12, sizeof v4);
    return inet_ntop(AF_INET, &v4, out, sizeof out);
  }
  return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

std::string AddressForLimits(const std::string& address) {
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
  std::memset(v6.s6_addr + 8, 0, 8);
  char out[INET6_ADDRSTRLEN] = {};
  return std::string(inet_ntop(AF_INET6, &v6, out, sizeof out)) + "/64";
}

std::optional<std::vector<std::string>> ReadTrustedProxies(std::string_view text) {
  std::vector<std::string> proxies;
  if (text == "0") return proxies;
  if (text == "1") return std::vector<std::string>{"127.0.0.1", "::1"};
  while (!text.empty()) {
    const size_t start = text.find_first_not_of(", \t");
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const size_t end = std::min(text.find_first_of(", \t"), text.size());
    const auto address = CanonicalIpAddress(text.substr(0, end));
    if (!address) return std::nullopt;
    proxies.push_back(*address);
    text.remove_prefix(end);
  }
  return proxies;
}
