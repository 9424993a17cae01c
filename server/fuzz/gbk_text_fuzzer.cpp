// The GBK decoder on any bytes: either well-formed UTF-8 with one character per GBK
// character, or a refusal that leaves nothing behind.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "api/gbk_text.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view gbk(reinterpret_cast<const char*>(data), size);
  std::string out = "left over from before";
  if (!GbkToUtf8(gbk, out)) {
    FUZZ_REQUIRE(out.empty());
    return 0;
  }
  FUZZ_REQUIRE(IsUtf8(out));
  FUZZ_REQUIRE(out.size() <= gbk.size() * 3);
  // Every character takes one or two bytes in GBK.
  const size_t characters = Utf8Length(out);
  FUZZ_REQUIRE(characters <= gbk.size() && characters * 2 >= gbk.size());
  return 0;
}
