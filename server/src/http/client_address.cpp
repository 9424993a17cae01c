#include "http/client_address.h"

#include <algorithm>

#include "config/ip_address.h"

bool IsTrustedProxy(const std::string& peer, const std::vector<std::string>& trustedProxies) {
  return std::find(trustedProxies.begin(), trustedProxies.end(), peer) != trustedProxies.end();
}

std::string ClientAddress(const std::string& peer, std::string_view forwardedFor,
                          const std::vector<std::string>& trustedProxies) {
  if (forwardedFor.empty() || !IsTrustedProxy(peer, trustedProxies)) return peer;
  // Each proxy appends the address it saw; only the entries our own proxies wrote are
  // believed, so the walk stops at the first one that is not a trusted proxy.
  while (!forwardedFor.empty()) {
    const size_t comma = forwardedFor.rfind(',');
    const std::string_view entry = comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1);
    const size_t first = entry.find_first_not_of(" \t");
    const size_t last = entry.find_last_not_of(" \t");
    const auto address =
        first == std::string_view::npos ? std::nullopt : CanonicalIpAddress(entry.substr(first, last - first + 1));
    if (!address) return peer;
    if (!IsTrustedProxy(*address, trustedProxies)) return *address;
    if (comma == std::string_view::npos) break;
    forwardedFor = forwardedFor.substr(0, comma);
  }
  return peer;
}
