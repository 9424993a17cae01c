// Reading the program's forms: code page 936, nothing escaped, fields in template order,
// the last field taken whole.
#include <gtest/gtest.h>

#include "api/form_reader.h"
#include "api/version_compare.h"

namespace {

std::vector<std::string> Values(const std::optional<FormFields>& form) {
  std::vector<std::string> values;
  if (form) {
    for (size_t i = 0; i < form->size(); ++i) values.push_back((*form)[i]);
  }
  return values;
}

}  // namespace

TEST(FormReader, ReadsValuesByTheTemplateAndRefusesBodiesOffIt) {
  const struct {
    const char* name;
    std::string body;
    std::span<const std::string_view> fields;
    std::vector<std::string> expected;
  } cases[] = {
      {"GBK name, plus and padding kept", "username=\xD3\xC3\xBB\xA7@x.cn&pwd=5a+G56CBYWJjZA==&id=M-1&softtype=2&ver=1.1.0.2",
       kLoginFields, {"用户@x.cn", "5a+G56CBYWJjZA==", "M-1", "2", "1.1.0.2"}},
      {"empty user name", "username=&id=MID&softtype=2&ver=1.1.0.2", kInfoFields, {"", "MID", "2", "1.1.0.2"}},
      {"a name holding & and =", "username=a&b=c@d.e&pwd=5a+G56CB&id=M&softtype=2&ver=1",
       kLoginFields, {"a&b=c@d.e", "5a+G56CB", "M", "2", "1"}},
      {"url whole to the end", "username=u@x.cn&id=MID&softtype=2&ver=1.1.0.2&tpl=1&code=600&url=http://a/?q=1&url=2&tpl=3",
       kReminderFields, {"u@x.cn", "MID", "2", "1.1.0.2", "1", "600", "http://a/?q=1&url=2&tpl=3"}},
      {"GBK url", "username=u&id=I&softtype=2&ver=1&tpl=2&code=200&url=http://\xD6\xD0.cn/%41+b",
       kReminderFields, {"u", "I", "2", "1", "2", "200", "http://中.cn/%41+b"}},
      {"euro signs, one byte each (0x80)", "username=u&id=I&softtype=2&ver=1&tpl=1&code=200&url=http://a.cn/" +
       std::string(8, '\x80'), kReminderFields, {"u", "I", "2", "1", "1", "200", "http://a.cn/€€€€€€€€"}},
      // Bodies off the template are refused: no fields at all.
      {"empty", "", kInfoFields, {}},
      {"fields out of order", "id=MID&username=&softtype=2&ver=1", kInfoFields, {}},
      {"field missing", "username=u&softtype=2&ver=1", kInfoFields, {}},
      {"percent-encoded separators", "username=u%26id%3DM&softtype=2&ver=1", kInfoFields, {}},
      {"leading space", " username=u&id=M&softtype=2&ver=1", kInfoFields, {}},
      {"name without =", "username&id=M&softtype=2&ver=1", kInfoFields, {}},
      {"broken GBK (lead byte at the end)", "username=u&id=M&softtype=2&ver=1\xD3", kInfoFields, {}},
      // Read on the same thread as the refusal above, so with the converter it left behind.
      {"GBK after a refusal", "username=\xD6\xD0&id=M&softtype=2&ver=1", kInfoFields, {"中", "M", "2", "1"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, Values(ReadForm(c.body, c.fields))) << c.name;
  }
}

TEST(FormReader, ReadsOnlyPlainDecimalInt32) {
  const struct {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {{"2", 2},           {"-3", -3},        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
               {"2147483648", {}}, {"", {}},          {"-", {}},                 {"+2", {}},
               {" 2", {}},         {"2 ", {}},        {"12abc", {}},             {"00000000002", {}}};
  for (const auto& c : cases) EXPECT_EQ(c.value, ReadInt32(c.text)) << c.text;
}

TEST(VersionCompare, ComparesDottedNumbersPartByPart) {
  const struct {
    const char* version;
    const char* latest;
    bool older;
  } cases[] = {{"1.1.0.2", "1.1.0.3", true},  {"1.1.0.2", "1.1.0.2", false}, {"1.1.0.10", "1.1.0.9", false},
               {"1.1", "1.1.0.1", true},      {"1.2", "1.1.9.9", false},     {"1.1.0.2", "", false},
               {"", "1.1.0.3", false},        {"1.x", "2", false},           {"1..2", "2", false}};
  for (const auto& c : cases) EXPECT_EQ(c.older, IsOlderVersion(c.version, c.latest)) << c.version << " " << c.latest;
}
