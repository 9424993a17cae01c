// The program's forms as the service reads them: any body against each of the three
// templates, and each value read as a number the way the requests read their numbers.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "api/form_reader.h"
#include "fuzz_check.h"

namespace {

void ReadAgainst(std::string_view body, std::span<const std::string_view> fields) {
  const auto form = ReadForm(body, fields);
  if (!form) return;
  FUZZ_REQUIRE(form->size() == fields.size());
  FUZZ_REQUIRE(body.starts_with(fields[0]));
  for (size_t i = 0; i < form->size(); ++i) {
    FUZZ_REQUIRE(IsUtf8((*form)[i]));
    if (const auto number = ReadInt32((*form)[i])) FUZZ_REQUIRE(std::to_string(*number).size() <= (*form)[i].size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  ReadAgainst(body, kLoginFields);
  ReadAgainst(body, kInfoFields);
  ReadAgainst(body, kReminderFields);
  return 0;
}
