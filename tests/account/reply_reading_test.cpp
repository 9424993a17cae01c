// Reading service replies: the lenient integer and text conversions, the parse rule,
// the growing reply buffer and the leading-decimal reader shared with the status code.
#include <gtest/gtest.h>

#include <string>

#include "text/leading_decimal.h"
#include "account/reply_buffer.h"
#include "account/reply_document.h"

namespace {

struct IntCase {
  const char* json;
  int32_t expected;
};

TEST(ReplyDocument, GetIntConvertsEveryValueType) {
  const IntCase cases[] = {
      {R"({"k":1})", 1},
      {R"({"k":-7})", -7},
      {R"({"k":2})", 2},                     // a status other than 1 is no success
      {R"({"k":2147483647})", 2147483647},
      {R"({"k":-2147483648})", INT32_MIN},
      {R"({"k":2147483648})", 99},           // whole number beyond int32: default
      {R"({"k":-2147483649})", 99},
      {R"({"k":12345678901234567890123})", 99},
      {R"({"k":1.9})", 1},                   // truncated toward zero
      {R"({"k":-1.9})", -1},
      {R"({"k":-0.5})", 0},
      {R"({"k":1e2})", 100},
      {R"({"k":1.5e1})", 15},
      {R"({"k":2147483647.9})", 2147483647},
      {R"({"k":2147483648.0})", 99},         // out-of-range double: default, never UB
      {R"({"k":-2147483648.9})", INT32_MIN},
      {R"({"k":1e300})", 99},
      {R"({"k":-1e300})", 99},
      {R"({"k":true})", 1},
      {R"({"k":false})", 0},
      {R"({"k":"1"})", 1},
      {R"({"k":"1abc"})", 1},
      {R"({"k":"12abc"})", 12},
      {R"({"k":"  -42x"})", -42},
      {R"({"k":"+5"})", 5},
      {R"({"k":"abc"})", 0},
      {R"({"k":"yes"})", 0},
      {R"({"k":""})", 0},
      {R"({"k":"99999999999"})", INT32_MAX},  // clamped like atoi
      {R"({"k":null})", 99},
      {R"({"k":{}})", 99},
      {R"({"k":[1]})", 99},
      {R"({"other":1})", 99},
      {R"([{"k":1}])", 99},                  // array root: no members
      {R"([])", 99},
  };
  for (const auto& c : cases) {
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(c.json)) << c.json;
    EXPECT_EQ(c.expected, doc.GetInt("k", 99)) << c.json;
  }
}

struct TextCase {
  const char* json;
  const wchar_t* expected;  // nullptr: the default itself
};

TEST(ReplyDocument, GetTextConvertsEveryValueType) {
  const TextCase cases[] = {
      {R"({"k":"hello"})", L"hello"},
      {R"({"k":""})", L""},
      {"{\"k\":\"\xE7\xA6\xBE\xE5\xB2\x9A \xF0\x9F\x98\x80\"}", L"禾岚 \U0001F600"},
      {R"({"k":"\u6d4b\u8bd5"})", L"测试"},
      {R"({"k":5})", L"5"},
      {R"({"k":-12})", L"-12"},
      {R"({"k":true})", L"true"},
      {R"({"k":false})", L"false"},
      {R"({"k":5.5})", nullptr},
      {R"({"k":5.0})", nullptr},
      {R"({"k":3000000000})", nullptr},
      {R"({"k":null})", nullptr},
      {R"({"k":{}})", nullptr},
      {R"({"k":["a"]})", nullptr},
      {R"({"x":"a"})", nullptr},
      {R"(["k"])", nullptr},
  };
  const wchar_t* const fallback = L"fallback";
  for (const auto& c : cases) {
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(c.json)) << c.json;
    const wchar_t* text = doc.GetText("k", fallback);
    if (c.expected) {
      EXPECT_EQ(std::wstring(c.expected), text) << c.json;
    } else {
      EXPECT_EQ(fallback, text) << c.json;  // the very default, not a copy
    }
  }
}

TEST(ReplyDocument, TextsStayValidWhileTheDocumentLives) {
  ReplyDocument doc;
  ASSERT_TRUE(doc.Parse(R"({"a":"first text, long enough to leave the small buffer","b":7})"));
  const wchar_t* a = doc.GetText("a", L"");
  std::vector<const wchar_t*> more;
  for (int i = 0; i < 100; ++i) more.push_back(doc.GetText("b", L""));
  EXPECT_STREQ(L"first text, long enough to leave the small buffer", a);
  EXPECT_STREQ(L"7", more.front());
  EXPECT_STREQ(L"7", more.back());
}

TEST(ReplyDocument, ParseNeedsAnObjectOrArrayRoot) {
  const char* bad[] = {"", "   ", "not json", "{", R"({"a":1} x)", "1", R"("text")", "true",
                       "null"};
  for (const char* text : bad) {
    ReplyDocument doc;
    EXPECT_FALSE(doc.Parse(text)) << text;
    EXPECT_NE(0, doc.ErrorCode()) << text;
    EXPECT_EQ(4, doc.GetInt("a", 4)) << text;
    EXPECT_STREQ(L"d", doc.GetText("a", L"d")) << text;
  }
  ReplyDocument doc;
  EXPECT_FALSE(doc.Parse(nullptr));
  EXPECT_TRUE(doc.Parse(" [] "));
  EXPECT_EQ(0, doc.ErrorCode());
  EXPECT_TRUE(doc.Parse(R"({"status":1})"));
}

TEST(ReplyBuffer, GrowsByTwiceTheChunkAndStaysTerminated) {
  ReplyBuffer buffer;
  EXPECT_EQ(2048u, buffer.Capacity());
  EXPECT_STREQ("", buffer.Text());

  const std::string chunk(512, 'x');
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(buffer.Append(chunk.data(), chunk.size()));
  EXPECT_EQ(2048u, buffer.Capacity());
  // 1536 + 512 would leave no room for the terminator: grow by 2 * 512.
  ASSERT_TRUE(buffer.Append(chunk.data(), chunk.size()));
  EXPECT_EQ(2048u + 1024u, buffer.Capacity());
  EXPECT_EQ(2048u, buffer.Length());
  EXPECT_EQ(std::string(2048, 'x'), buffer.Text());

  // Small chunks grow by at least 2 * 64.
  ReplyBuffer small;
  const std::string filler(2047, 'y');
  ASSERT_TRUE(small.Append(filler.data(), filler.size()));
  EXPECT_EQ(2048u, small.Capacity());
  ASSERT_TRUE(small.Append("z", 1));
  EXPECT_EQ(2048u + 128u, small.Capacity());
  EXPECT_EQ(filler + "z", small.Text());
}

struct DecimalCase {
  const wchar_t* text;
  int32_t expected;
};

TEST(LeadingDecimal, ReadsLikeAtoi) {
  const DecimalCase cases[] = {
      {L"200", 200},     {L" \t\r\n206", 206}, {L"-5", -5},        {L"+7", 7},
      {L"12abc", 12},    {L"abc", 0},          {L"", 0},           {L"-", 0},
      {L"- 5", 0},       {L"2 00", 2},         {L"0x1F", 0},       {L"2147483647", INT32_MAX},
      {L"2147483648", INT32_MAX},              {L"-2147483648", INT32_MIN},
      {L"-99999999999999999999", INT32_MIN},   {L"00042", 42},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, LeadingDecimal(c.text, std::wcslen(c.text))) << c.text;
  }
  // Reading stops at the given length, even without a terminator.
  EXPECT_EQ(12, LeadingDecimal("12345", 2));
}

}  // namespace
