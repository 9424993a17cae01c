// What the fuzz targets share: a check that stops the run when a reader breaks its promise
// (a crash is what libFuzzer records and minimizes), and a test of well-formed UTF-8.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_REQUIRE(condition)                                                          \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

// Whether `text` is well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool IsUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    unsigned long code = lead;
    if (lead >= 0x80) {
      if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
      } else {
        return false;
      }
      if (text.size() - i < length) return false;
      for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return false;
        code = (code << 6) | (next & 0x3F);
      }
      const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    }
    i += length;
  }
  return true;
}
