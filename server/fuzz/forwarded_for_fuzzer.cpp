// The client address behind trusted proxies, from X-Forwarded-For lines (one per line of
// the input, as a request may carry several). Whatever the lines say, the answer is the
// peer or a canonical address that is not one of the proxies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/ip_address.h"
#include "fuzz_check.h"
#include "http/client_address.h"

namespace {

const std::vector<std::string> kProxies = {"127.0.0.1", "::1", "10.0.0.2"};

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    lines.push_back(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// The one place that knows how the service hands the header lines over.
std::string ClientBehind(const std::string& peer, const std::vector<std::string_view>& lines) {
  return ClientAddress(peer, lines.empty() ? std::string_view() : lines.front(), kProxies);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto lines = Lines(std::string_view(reinterpret_cast<const char*>(data), size));
  // A peer that is no proxy is believed whatever it sends.
  FUZZ_REQUIRE(ClientBehind("192.0.2.7", lines) == "192.0.2.7");
  for (const std::string& peer : {std::string("127.0.0.1"), std::string("10.0.0.2")}) {
    const std::string client = ClientBehind(peer, lines);
    if (client == peer) continue;
    FUZZ_REQUIRE(CanonicalIpAddress(client) == client);
    FUZZ_REQUIRE(!IsTrustedProxy(client, kProxies));
  }
  return 0;
}
