#include "account/password.h"

#include <windows.h>

#include <cstdint>

#include "account/secure_wipe.h"
#include "text/code_page.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);  // no reallocation leaves a stray copy behind
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (uint32_t{static_cast<unsigned char>(bytes[i])} << 16) |
                           (uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8) |
                           uint32_t{static_cast<unsigned char>(bytes[i + 2])};
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += kAlphabet[(group >> 6) & 63];
    out += kAlphabet[group & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (rest == 2) group |= uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace

std::string EncodePassword(std::wstring_view password) {
  std::string utf8 = WideToCodePage(password, CP_UTF8);
  std::string encoded = Base64(utf8);
  SecureWipe(utf8);
  return encoded;
}
