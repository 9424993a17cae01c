// Account-service replies, generated and damaged from fixed seeds: whatever arrives, the
// reply reader neither crashes nor hangs nor reads past the text, and GetInt and GetText
// keep their rules.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "json_reply_generator.h"
#include "account/reply_document.h"

using hardening::ExpectedKey;
using hardening::GeneratedReply;
using hardening::GenerateReply;
using hardening::ServiceKeys;

namespace {

constexpr int32_t kIntDefault = 77;
const wchar_t kTextDefault[] = L"<default>";

bool IsWellFormedUtf16(const wchar_t* text) {
  for (; *text; ++text) {
    if (*text >= 0xD800 && *text <= 0xDBFF) {
      if (text[1] < 0xDC00 || text[1] > 0xDFFF) return false;
      ++text;
    } else if (*text >= 0xDC00 && *text <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// A text that is exactly a decimal integer in the 32-bit range, as GetText writes one.
bool IsDecimalInt(const std::wstring& text, int32_t& value) {
  if (text.empty() || text.size() > 11) return false;
  size_t i = text[0] == L'-' ? 1 : 0;
  if (i == text.size()) return false;
  long long n = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    n = n * 10 + (text[i] - L'0');
  }
  if (text[0] == L'-') n = -n;
  if (n < INT32_MIN || n > INT32_MAX) return false;
  value = static_cast<int32_t>(n);
  return true;
}

// The rules every reply obeys, whatever its content. Returns whether it parsed.
bool CheckReadingRules(const std::string& text, const std::string& label) {
  ReplyDocument doc;
  const bool parsed = doc.Parse(text.c_str());
  EXPECT_EQ(parsed, doc.ErrorCode() == 0) << label;
  std::vector<std::pair<const wchar_t*, std::wstring>> produced;
  for (const std::string& key : ServiceKeys()) {
    const int32_t first = doc.GetInt(key.c_str(), kIntDefault);
    EXPECT_EQ(first, doc.GetInt(key.c_str(), kIntDefault)) << label << " key " << key;
    const wchar_t* textValue = doc.GetText(key.c_str(), kTextDefault);
    if (!parsed) {
      EXPECT_EQ(kIntDefault, first) << label;
      EXPECT_EQ(kTextDefault, textValue) << label;
      continue;
    }
    if (textValue == nullptr) {
      ADD_FAILURE() << label << " key " << key << ": no text";
      continue;
    }
    if (textValue == kTextDefault) continue;
    EXPECT_TRUE(IsWellFormedUtf16(textValue)) << label << " key " << key;
    int32_t decimal = 0;
    if (IsDecimalInt(textValue, decimal)) {
      EXPECT_EQ(decimal, first) << label << " key " << key;
    }
    produced.emplace_back(textValue, textValue);
  }
  // Texts already handed out stay valid and unchanged while the document lives.
  for (const std::string& key : ServiceKeys()) doc.GetText(key.c_str(), kTextDefault);
  for (const auto& [pointer, copy] : produced) EXPECT_EQ(copy, std::wstring(pointer)) << label;
  return parsed;
}

TEST(HostileReplies, GeneratedRepliesReadByTheirRules) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 4000; ++n) {
    const GeneratedReply reply = GenerateReply(random);
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(reply.json.c_str())) << reply.json;
    for (const ExpectedKey& key : reply.keys) {
      const char* name = key.key.c_str();
      EXPECT_EQ(key.intIsDefault ? kIntDefault : key.intValue, doc.GetInt(name, kIntDefault))
          << name << " in " << reply.json;
      const wchar_t* text = doc.GetText(name, kTextDefault);
      if (key.textIsDefault) {
        EXPECT_EQ(kTextDefault, text) << name << " in " << reply.json;
      } else {
        // An escaped NUL ends the text as the caller sees it.
        EXPECT_EQ(key.textValue.substr(0, key.textValue.find(L'\0')), std::wstring(text))
            << name << " in " << reply.json;
      }
    }
    if (HasFailure()) return;
  }
}

TEST(HostileReplies, DamagedRepliesKeepTheRules) {
  std::mt19937 random(7351);
  int parsed = 0;
  for (int n = 0; n < 6000; ++n) {
    std::string text = GenerateReply(random).json;
    const size_t close = text.rfind('}');
    const int damage = static_cast<int>(random() % 5);
    bool mustFail = false;
    switch (damage) {
      case 0:  // cut short before the closing brace
        text.resize(random() % close);
        mustFail = true;
        break;
      case 1:  // bytes overwritten
        for (int k = 1 + static_cast<int>(random() % 4); k > 0 && !text.empty(); --k)
          text[random() % text.size()] = static_cast<char>(random());
        break;
      case 2:  // bytes inserted
        for (int k = 1 + static_cast<int>(random() % 4); k > 0; --k)
          text.insert(text.begin() + static_cast<std::ptrdiff_t>(random() % (text.size() + 1)),
                      static_cast<char>(random()));
        break;
      case 3: {  // a span deleted
        const size_t at = random() % text.size();
        text.erase(at, 1 + random() % 16);
        break;
      }
      default:  // nothing but random bytes
        text.resize(random() % 600);
        for (char& c : text) c = static_cast<char>(random());
        break;
    }
    const bool ok = CheckReadingRules(text, "damage " + std::to_string(damage) + ": " + text);
    // The reader accepts exactly what RapidJSON's default (recursive) parse accepts.
    rapidjson::Document reference;
    reference.Parse(text.c_str());
    EXPECT_EQ(!reference.HasParseError() && (reference.IsObject() || reference.IsArray()), ok) << text;
    if (mustFail) {
      EXPECT_FALSE(ok) << text;
    }
    parsed += ok;
    if (HasFailure()) return;
  }
  std::printf("%d of 6000 damaged replies still parsed\n", parsed);
}

// Nesting far deeper than any reply has. A parser that recurses per level would run out
// of stack (which ends the whole process), so these run on a thread with a small stack.
TEST(HostileReplies, DeepNestingNeedsNoDeepStack) {
  const size_t deep = 100000;
  std::string nestedMembers;
  for (size_t i = 0; i < deep; ++i) nestedMembers += "{\"a\":";
  const struct DeepCase {
    const char* name;
    std::string text;
    bool parses;
    int32_t status;  // "status" as GetInt reads it, default kIntDefault
  } cases[] = {
      {"open brackets", std::string(deep, '['), false, kIntDefault},
      {"open braces", std::string(deep, '{'), false, kIntDefault},
      {"nested members", nestedMembers, false, kIntDefault},
      {"balanced arrays", std::string(deep, '[') + std::string(deep, ']'), true, kIntDefault},
      {"status beside a deep member",
       "{\"status\":1,\"x\":" + std::string(deep, '[') + std::string(deep, ']') + "}", true, 1},
      {"deep then garbage", std::string(deep, '[') + "1,x" + std::string(deep, ']'), false, kIntDefault},
      {"ten megabytes of brackets", std::string(10 * 1024 * 1024, '['), false, kIntDefault},
  };
  std::vector<std::pair<bool, int32_t>> results;  // parsed, "status"
  std::function<void()> parseAll = [&] {
    for (const DeepCase& c : cases) {
      ReplyDocument doc;
      const DWORD start = GetTickCount();
      const bool parsed = doc.Parse(c.text.c_str());
      results.emplace_back(parsed, doc.GetInt("status", kIntDefault));
      std::printf("%-30s read in %lu ms\n", c.name, GetTickCount() - start);
    }
  };
  // 64 KB of stack: a few hundred levels of recursion at most.
  const LPTHREAD_START_ROUTINE runIt = [](LPVOID run) -> DWORD {
    (*static_cast<std::function<void()>*>(run))();
    return 0;
  };
  HANDLE thread = CreateThread(nullptr, 64 * 1024, runIt, &parseAll, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
  CloseHandle(thread);
  ASSERT_EQ(std::size(cases), results.size());
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].parses, results[i].first) << cases[i].name;
    EXPECT_EQ(cases[i].status, results[i].second) << cases[i].name;
  }
}

TEST(HostileReplies, HugeBodiesAreReadWhole) {
  const size_t tenMegabytes = 10 * 1024 * 1024;
  std::string numbers = "[";
  while (numbers.size() < tenMegabytes) numbers += "1234567,-1.5e3,\"x\",";
  numbers += "0]";
  const struct {
    const char* name;
    std::string text;
    bool parses;
    int32_t status;
    size_t infoLength;  // GetText("info") length; 0 for the default
  } cases[] = {
      {"ten megabyte info", "{\"status\":1,\"info\":\"" + std::string(tenMegabytes, 'a') + "\"}", true, 1,
       tenMegabytes},
      {"ten megabytes of white space", std::string(tenMegabytes, ' ') + "{\"status\":1}", true, 1, 0},
      {"ten megabyte array", numbers, true, kIntDefault, 0},
      {"ten megabyte unterminated string", "{\"status\":1,\"info\":\"" + std::string(tenMegabytes, 'b'), false,
       kIntDefault, 0},
      {"ten megabyte key", "{\"" + std::string(tenMegabytes, 'k') + "\":1,\"status\":2}", true, 2, 0},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    ReplyDocument doc;
    EXPECT_EQ(c.parses, doc.Parse(c.text.c_str())) << c.name;
    EXPECT_EQ(c.status, doc.GetInt("status", kIntDefault)) << c.name;
    const wchar_t* info = doc.GetText("info", kTextDefault);
    EXPECT_EQ(c.infoLength, info == kTextDefault ? 0 : std::wcslen(info)) << c.name;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s read in %.3f s\n", c.name, seconds);
  }
}

TEST(HostileReplies, InvalidUtf8BecomesReplacementCharacters) {
  // Replies are not checked for valid UTF-8 while parsing; GetText turns every byte
  // sequence that is not UTF-8 into U+FFFD and keeps the good text around it.
  const struct {
    const char* bytes;
    const wchar_t* expected;
  } cases[] = {
      {"ab\xFF" "cd", L"ab\uFFFDcd"},
      {"ab\xC3", L"ab\uFFFD"},                      // cut two-byte sequence at the end
      {"\xE4\xB8" "x", nullptr},                    // cut three-byte sequence
      {"\xC0\xAF", nullptr},                        // overlong '/'
      {"\xED\xA0\x80", nullptr},                    // an encoded surrogate
      {"\xED\xA0\x80\xED\xB0\x80", nullptr},        // an encoded surrogate pair
      {"\xF4\x90\x80\x80", nullptr},                // beyond U+10FFFF
      {"\xF8\x88\x80\x80\x80", nullptr},            // five-byte form
      {"\x80\x80\x80", nullptr},                    // continuation bytes alone
      {"\xE4\xB8\xAD\xFE\xE6\x96\x87", L"\u4E2D\uFFFD\u6587"},  // the good parts around junk survive
      {"\\udc00", nullptr},                         // an escaped lone low surrogate
  };
  for (const auto& c : cases) {
    const std::string json = std::string("{\"info\":\"") + c.bytes + "\",\"status\":1}";
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(json.c_str())) << c.bytes;
    const wchar_t* text = doc.GetText("info", kTextDefault);
    ASSERT_NE(kTextDefault, text) << c.bytes;
    EXPECT_TRUE(IsWellFormedUtf16(text)) << c.bytes;
    EXPECT_NE(nullptr, std::wcschr(text, L'\uFFFD')) << c.bytes;
    if (c.expected) {
      EXPECT_STREQ(c.expected, text) << c.bytes;
    }
    EXPECT_EQ(1, doc.GetInt("status", 0)) << c.bytes;
  }
}

TEST(HostileReplies, NumbersAtAndBeyondTheirLimits) {
  // Not JSON, or too big for a double: no reply at all.
  const std::string longNumber = "{\"k\":" + std::string(5000, '9') + "}";
  for (const char* json : {R"({"k":1e400})", R"({"k":-1e400})", R"({"k":0123})", R"({"k":NaN})",
                           R"({"k":Infinity})", R"({"k":1.})", R"({"k":.5})", R"({"k":1e})", R"({"k":--1})",
                           longNumber.c_str()}) {
    ReplyDocument doc;
    EXPECT_FALSE(doc.Parse(json)) << json;
    EXPECT_EQ(kIntDefault, doc.GetInt("k", kIntDefault)) << json;
  }
  // The int32 limits themselves are ReplyDocument's table (reply_reading_test).
  const struct {
    const char* json;
    int32_t asInt;
    const wchar_t* asText;  // nullptr: the default
  } cases[] = {
      {R"({"k":1e-400})", 0, nullptr},  // underflows to zero
      {R"({"k":4.9e-324})", 0, nullptr},
      {R"({"k":18446744073709551616})", kIntDefault, nullptr},
      {R"({"k":-0})", 0, L"0"},
      {R"({"k":-0.0})", 0, nullptr},
      {R"({"k":"99999999999999999999999"})", INT32_MAX, L"99999999999999999999999"},
      {R"({"k":"-99999999999999999999999"})", INT32_MIN, L"-99999999999999999999999"},
  };
  for (const auto& c : cases) {
    ReplyDocument doc;
    EXPECT_TRUE(doc.Parse(c.json)) << c.json;
    EXPECT_EQ(c.asInt, doc.GetInt("k", kIntDefault)) << c.json;
    const wchar_t* text = doc.GetText("k", kTextDefault);
    if (c.asText) {
      EXPECT_STREQ(c.asText, text) << c.json;
    } else {
      EXPECT_EQ(kTextDefault, text) << c.json;
    }
  }
}

TEST(HostileReplies, LongNoticesComeBackWhole) {
  std::mt19937 random(4242);
  for (int n = 0; n < 20; ++n) {
    std::wstring notice;
    while (notice.size() < 100 * 1024) notice += hardening::RandomText(random, 64);
    notice.erase(std::remove(notice.begin(), notice.end(), L'\0'), notice.end());
    const std::string json = "{\"status\":1,\"notice_id\":" + std::to_string(n + 1) +
                             ",\"notice_text\":" + hardening::JsonString(random, notice) + "}";
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(json.c_str()));
    EXPECT_EQ(n + 1, doc.GetInt("notice_id", 0));
    EXPECT_EQ(notice, std::wstring(doc.GetText("notice_text", L"")));
  }
}

}  // namespace
