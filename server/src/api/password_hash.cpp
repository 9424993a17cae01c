#include "api/password_hash.h"

#include <sodium.h>

#include <array>

namespace {

// Moderate cost: about 19 MiB and two passes, so a sign-in takes tens of milliseconds and
// a handful of concurrent ones fit in memory.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = 19u << 20;
constexpr size_t kMaxPasswordBytes = 256;

const std::string& DummyHash() {
  static const std::string hash = HashPassword("no account has this password").value_or("");
  return hash;
}

}  // namespace

bool InitPasswordHashing() {
  return sodium_init() >= 0;
}

std::optional<std::string> HashPassword(std::string_view password) {
  std::array<char, crypto_pwhash_STRBYTES> out{};
  if (crypto_pwhash_str_alg(out.data(), password.data(), password.size(), kOpsLimit, kMemLimit,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return std::string(out.data());
}

bool VerifyEncodedPassword(std::string_view base64, const std::string& hash) {
  std::array<unsigned char, kMaxPasswordBytes> password{};
  size_t length = 0;
  const bool decoded = sodium_base642bin(password.data(), password.size(), base64.data(), base64.size(), nullptr,
                                         &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0;
  const std::string& against = hash.empty() || !decoded ? DummyHash() : hash;
  const bool matches = crypto_pwhash_str_verify(against.c_str(), reinterpret_cast<const char*>(password.data()),
                                                length) == 0;
  sodium_memzero(password.data(), password.size());
  return decoded && !hash.empty() && matches;
}
