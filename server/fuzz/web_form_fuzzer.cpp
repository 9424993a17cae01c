// The web pages' forms as the service reads them: any body as a posted form, then every
// field whose name the body spells out plainly looked up and checked against the body.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "web/web_form.h"

namespace {

// Whether `text` needs no decoding: no escape and no "+".
bool Plain(std::string_view text) { return text.find_first_of("%+") == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const auto form = WebForm::Read(body);
  if (!form) return 0;
  size_t fields = 0;
  for (std::string_view rest = body; !rest.empty();) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (pair.empty()) continue;
    ++fields;
    const size_t equals = pair.find('=');
    const std::string_view name = pair.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
    if (!Plain(name)) continue;
    const std::string& read = (*form)[name];
    // A form only holds clean text: well-formed UTF-8 without control characters.
    FUZZ_REQUIRE(IsUtf8(read));
    FUZZ_REQUIRE(IsCleanUtf8(read, true));
    if (Plain(value)) FUZZ_REQUIRE(read == value);
  }
  FUZZ_REQUIRE(fields <= 16);
  return 0;
}
