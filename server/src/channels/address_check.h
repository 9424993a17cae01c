// Which addresses a channel request may connect to. The check runs on the address the
// connection is actually made to (after name resolution, in libcurl's open-socket
// callback), so neither a name that resolves to an inside address nor one that changes its
// answer between a check and the connection gets through.
#pragma once

#include <string_view>
#include <sys/socket.h>

enum class AddressClass { Public, Loopback, Private, LinkLocal, SharedCgnat, Multicast, Reserved };

// The class of an IPv4 or IPv6 address; IPv6 forms that carry an IPv4 address (mapped,
// compatible, NAT64, 6to4) take the class of the address they carry.
AddressClass ClassifyAddress(const sockaddr* address);
// The same for an address written out ("10.0.0.1", "::ffff:10.0.0.1"); Reserved when the
// text is no address.
AddressClass ClassifyAddressText(std::string_view text);

// Public addresses always; with `allowPrivate` (an operator's intranet relay) loopback,
// private and shared (CGNAT) addresses too. Link-local (where cloud metadata services
// answer), multicast and reserved addresses never.
bool AddressAllowed(AddressClass kind, bool allowPrivate);
