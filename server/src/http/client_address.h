// Whom a request comes from, for throttling and the log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The client's address. `peer` is the connection's own (canonical) address. Only when it is
// one of `trustedProxies` is `forwardedFor` (every X-Forwarded-For line of the request, in
// order, joined with commas; empty when there is none) read: from its right end, skipping
// the trusted proxies' own entries, the first address is the client. An entry that is not an
// address, or a chain of nothing but proxies, leaves the peer's address.
std::string ClientAddress(const std::string& peer, std::string_view forwardedFor,
                          const std::vector<std::string>& trustedProxies);

bool IsTrustedProxy(const std::string& peer, const std::vector<std::string>& trustedProxies);
