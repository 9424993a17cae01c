#include "channels/signatures.h"

#include <sodium.h>

#include <cctype>

#include "text/base64_text.h"

std::string HmacSha256(std::string_view key, std::string_view message) {
  // The one-shot form takes a 32-byte key only; the streaming form takes any length.
  crypto_auth_hmacsha256_state state;
  crypto_auth_hmacsha256_init(&state, reinterpret_cast<const unsigned char*>(key.data()), key.size());
  crypto_auth_hmacsha256_update(&state, reinterpret_cast<const unsigned char*>(message.data()), message.size());
  unsigned char mac[crypto_auth_hmacsha256_BYTES];
  crypto_auth_hmacsha256_final(&state, mac);
  sodium_memzero(&state, sizeof state);
  return std::string(reinterpret_cast<const char*>(mac), sizeof mac);
}

std::string UrlEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string DingTalkSignature(int64_t timestampMs, const std::string& secret) {
  return UrlEncoded(Base64(HmacSha256(secret, std::to_string(timestampMs) + "\n" + secret)));
}

std::string FeishuSignature(int64_t timestampSeconds, const std::string& secret) {
  return Base64(HmacSha256(std::to_string(timestampSeconds) + "\n" + secret, ""));
}

std::string WebhookSignature(int64_t timestampSeconds, const std::string& secret, std::string_view body) {
  const std::string mac = HmacSha256(secret, std::to_string(timestampSeconds) + "." + std::string(body));
  char hex[crypto_auth_hmacsha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, reinterpret_cast<const unsigned char*>(mac.data()), mac.size());
  return std::string("sha256=") + hex;
}
