#include "web/page_security.h"

#include <sodium.h>

#include <boost/asio/ip/address.hpp>

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsLoopback(const std::string& address) {
  boost::system::error_code error;
  const auto parsed = boost::asio::ip::make_address(address, error);
  return !error && parsed.is_loopback();
}

}  // namespace

bool ServesPasswords(const WebRequest& request) {
  if (!request.forwardedProto.empty()) {
    // Each proxy on the way may add its own: the one nearest the service speaks last.
    const size_t comma = request.forwardedProto.rfind(',');
    const std::string_view last =
        comma == std::string::npos ? std::string_view(request.forwardedProto)
                                   : std::string_view(request.forwardedProto).substr(comma + 1);
    return Trimmed(last) == "https";
  }
  return !request.forwarded && IsLoopback(request.peer);
}

std::string OriginOf(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  const size_t path = url.find('/', scheme + 3);
  return std::string(url.substr(0, path));
}

bool FromOwnPages(const WebRequest& request, const std::string& ownOrigin) {
  if (request.origin == ownOrigin) return request.secFetchSite.empty() || request.secFetchSite == "same-origin";
  // Under "Referrer-Policy: no-referrer" a browser sends "Origin: null" even from the
  // pages themselves; then only its Sec-Fetch-Site tells.
  if (request.origin == "null") return request.secFetchSite == "same-origin";
  return request.origin.empty() && (request.secFetchSite.empty() || request.secFetchSite == "same-origin");
}

std::string CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const size_t semicolon = header.find(';');
    const std::string_view pair = Trimmed(header.substr(0, semicolon));
    const size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) return std::string(pair.substr(equals + 1));
    if (semicolon == std::string_view::npos) break;
    header.remove_prefix(semicolon + 1);
  }
  return "";
}

std::string CookieHeader(const std::string& name, const std::string& value, long long maxAgeSeconds, bool secure) {
  std::string header = name + "=" + value + "; Path=/; HttpOnly; SameSite=Lax";
  if (maxAgeSeconds >= 0) header += "; Max-Age=" + std::to_string(maxAgeSeconds);
  if (secure) header += "; Secure";
  return header;
}

std::string RandomToken() {
  unsigned char random[32];
  randombytes_buf(random, sizeof random);
  char text[sodium_base64_ENCODED_LEN(sizeof random, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
  sodium_bin2base64(text, sizeof text, random, sizeof random, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  return text;
}

std::string TokenHash(std::string_view token) {
  unsigned char hash[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(hash, reinterpret_cast<const unsigned char*>(token.data()), token.size());
  char hex[sizeof hash * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return hex;
}

bool SameToken(std::string_view a, std::string_view b) {
  return !a.empty() && a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

void AddPageHeaders(WebReply& reply, bool privatePage) {
  reply.headers.emplace_back("Content-Security-Policy",
                             "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; "
                             "frame-ancestors 'none'; base-uri 'none'");
  reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
  reply.headers.emplace_back("Referrer-Policy", "no-referrer");
  reply.headers.emplace_back("X-Frame-Options", "DENY");
  if (privatePage) reply.headers.emplace_back("Cache-Control", "no-store");
}
