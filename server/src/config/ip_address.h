// IP addresses as the service compares them: written the one canonical way (an IPv4
// address mapped into IPv6 is written as IPv4), so a configured address and a peer's match.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The canonical text of an IPv4 or IPv6 address; nothing when `text` is not one.
std::optional<std::string> CanonicalIpAddress(std::string_view text);

// What the limits per client address count under, for an address in canonical form: an
// IPv4 address is itself; an IPv6 address stands for its /64 network, written as
// "2001:db8:1:2::/64", since whoever holds one address of a /64 may use any of the others.
// Anything else is returned unchanged.
std::string AddressForLimits(const std::string& address);

// The `trust_proxy` setting: addresses separated by commas or spaces. "0" or nothing means
// no proxy is trusted; "1" (what the setting took before it held addresses) means a proxy on
// this machine: 127.0.0.1 and ::1. Nothing when an entry is not an address.
std::optional<std::vector<std::string>> ReadTrustedProxies(std::string_view text);
