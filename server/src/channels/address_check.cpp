#include "channels/address_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Range4 {
  uint32_t network;
  int bits;
  AddressClass kind;
};

constexpr uint32_t V4(int a, int b, int c, int d) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(c) << 8) |
         static_cast<uint32_t>(d);
}

// Every IPv4 range that is not the public internet.
constexpr std::array kRanges4{
    Range4{V4(0, 0, 0, 0), 8, AddressClass::Reserved},        // "this network"
    Range4{V4(10, 0, 0, 0), 8, AddressClass::Private},
    Range4{V4(100, 64, 0, 0), 10, AddressClass::SharedCgnat},
    Range4{V4(127, 0, 0, 0), 8, AddressClass::Loopback},
    Range4{V4(169, 254, 0, 0), 16, AddressClass::LinkLocal},
    Range4{V4(172, 16, 0, 0), 12, AddressClass::Private},
    Range4{V4(192, 0, 0, 0), 24, AddressClass::Reserved},     // protocol assignments
    Range4{V4(192, 0, 2, 0), 24, AddressClass::Reserved},     // documentation
    Range4{V4(192, 88, 99, 0), 24, AddressClass::Reserved},   // 6to4 relay anycast
    Range4{V4(192, 168, 0, 0), 16, AddressClass::Private},
    Range4{V4(198, 18, 0, 0), 15, AddressClass::Reserved},    // benchmarking
    Range4{V4(198, 51, 100, 0), 24, AddressClass::Reserved},  // documentation
    Range4{V4(203, 0, 113, 0), 24, AddressClass::Reserved},   // documentation
    Range4{V4(224, 0, 0, 0), 4, AddressClass::Multicast},
    Range4{V4(240, 0, 0, 0), 4, AddressClass::Reserved},      // future use and broadcast
};

AddressClass Classify4(uint32_t address) {
  for (const Range4& r : kRanges4) {
    const uint32_t mask = r.bits == 0 ? 0 : ~uint32_t{0} << (32 - r.bits);
    if ((address & mask) == r.network) return r.kind;
  }
  return AddressClass::Public;
}

uint32_t Read4(const uint8_t* bytes) { return V4(bytes[0], bytes[1], bytes[2], bytes[3]); }

bool StartsWith(const uint8_t* bytes, std::initializer_list<uint8_t> prefix) {
  return std::memcmp(bytes, prefix.begin(), prefix.size()) == 0;
}

AddressClass Classify6(const uint8_t* a) {
  static constexpr uint8_t kZero[16] = {};
  // ::ffff:a.b.c.d (mapped), ::a.b.c.d (compatible; :: and ::1 are themselves below).
  if (std::memcmp(a, kZero, 10) == 0 && a[10] == 0xFF && a[11] == 0xFF) return Classify4(Read4(a + 12));
  if (std::memcmp(a, kZero, 15) == 0) return a[15] == 1 ? AddressClass::Loopback : AddressClass::Reserved;
  if (std::memcmp(a, kZero, 12) == 0) return Classify4(Read4(a + 12));
  // 64:ff9b::a.b.c.d (NAT64) and 2002:AABB:CCDD:: (6to4) reach the IPv4 address they carry.
  if (StartsWith(a, {0x00, 0x64, 0xFF, 0x9B}) && std::memcmp(a + 4, kZero, 8) == 0) return Classify4(Read4(a + 12));
  if (StartsWith(a, {0x20, 0x02})) return Classify4(Read4(a + 2));
  if (a[0] == 0xFF) return AddressClass::Multicast;
  if ((a[0] & 0xFE) == 0xFC) return AddressClass::Private;                        // fc00::/7 unique local
  if (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) return AddressClass::LinkLocal;       // fe80::/10
  if ((a[0] & 0xE0) != 0x20) return AddressClass::Reserved;                       // outside 2000::/3
  if (StartsWith(a, {0x20, 0x01}) && a[2] < 0x02) return AddressClass::Reserved;  // 2001::/23, Teredo in it
  if (StartsWith(a, {0x20, 0x01, 0x0D, 0xB8})) return AddressClass::Reserved;     // documentation
  if (a[0] == 0x3F && a[1] == 0xFF && (a[2] & 0xF0) == 0) return AddressClass::Reserved;  // 3fff::/20
  return AddressClass::Public;
}

}  // namespace

AddressClass ClassifyAddress(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return Classify4(ntohl(v4->sin_addr.s_addr));
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    return Classify6(v6->sin6_addr.s6_addr);
  }
  return AddressClass::Reserved;
}

AddressClass ClassifyAddressText(std::string_view text) {
  const std::string copy(text);
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (inet_pton(AF_INET, copy.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    return ClassifyAddress(reinterpret_cast<const sockaddr*>(&v4));
  }
  if (inet_pton(AF_INET6, copy.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    return ClassifyAddress(reinterpret_cast<const sockaddr*>(&v6));
  }
  return AddressClass::Reserved;
}

bool AddressAllowed(AddressClass kind, bool allowPrivate) {
  switch (kind) {
    case AddressClass::Public:
      return true;
    case AddressClass::Loopback:
    case AddressClass::Private:
    case AddressClass::SharedCgnat:
      return allowPrivate;
    default:
      return false;
  }
}
