// Base64 as RFC 4648 writes it (the alphabet with "+" and "/", "=" padding), through libsodium.
#pragma once

#include <sodium.h>

#include <string>
#include <string_view>
#include <vector>

inline std::string Base64(std::string_view bytes) {
  std::vector<char> out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL));
  sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  return out.data();
}
