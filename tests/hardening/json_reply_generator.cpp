#include "json_reply_generator.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace hardening {
namespace {

int Pick(std::mt19937& random, int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); }

bool Chance(std::mt19937& random, int percent) { return Pick(random, 100) < percent; }

std::string Space(std::mt19937& random) {
  static const char kSpace[] = {' ', '\t', '\r', '\n'};
  std::string out;
  for (int n = Chance(random, 60) ? 0 : Pick(random, 4); n > 0; --n) out += kSpace[Pick(random, 4)];
  return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendEscape(std::mt19937& random, std::string& out, unsigned unit) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, Chance(random, 50) ? "\\u%04x" : "\\u%04X", unit);
  out += buffer;
}

// The leading decimal integer of a text, clamped to the 32-bit range: the reading rule
// for a string value asked for as an integer.
int32_t LeadingInteger(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - L'0'), int64_t{1} << 40);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A text that often begins like a number: white space, a sign, digits, then anything.
std::wstring NumberishText(std::mt19937& random) {
  static const wchar_t* const kStarts[] = {L"", L" ", L"\t\n", L"-", L"+", L"--", L"- ", L"\u3000"};
  std::wstring text = kStarts[Pick(random, 8)];
  for (int n = Pick(random, 14); n > 0; --n) text += static_cast<wchar_t>(L'0' + Pick(random, 10));
  if (Chance(random, 50)) text += RandomText(random, 6);
  return text;
}

struct Value {
  std::string json;
  ExpectedKey expected;
};

Value RandomNumber(std::mt19937& random) {
  Value v;
  char buffer[64];
  switch (Pick(random, 4)) {
    case 0: {  // a whole number inside the 32-bit range
      static const int32_t kEdges[] = {0, 1, -1, INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1};
      const int32_t n = Chance(random, 20) ? kEdges[Pick(random, 7)] : static_cast<int32_t>(random());
      std::snprintf(buffer, sizeof buffer, "%" PRId32, n);
      v.expected.intIsDefault = false;
      v.expected.intValue = n;
      v.expected.textIsDefault = false;
      v.expected.textValue = std::to_wstring(n);
      break;
    }
    case 1: {  // a whole number outside it: neither read converts it
      static const char* const kBig[] = {"2147483648", "-2147483649", "4294967295", "4294967296",
                                         "9223372036854775807", "-9223372036854775808",
                                         "18446744073709551615", "18446744073709551616",
                                         "123456789012345678901234567890", "-99999999999999999999"};
      std::snprintf(buffer, sizeof buffer, "%s", kBig[Pick(random, 10)]);
      break;
    }
    case 2: {  // a fraction that a double holds exactly: read as an integer, truncated
      const int64_t whole = static_cast<int64_t>(random() % 6000000001ull) - 3000000000;
      static const char* const kFractions[] = {".5", ".25", ".75", ".125", ".0"};
      std::snprintf(buffer, sizeof buffer, "%" PRId64 "%s", whole, kFractions[Pick(random, 5)]);
      if (whole > -2147483649LL && whole < 2147483648LL) {
        v.expected.intIsDefault = false;
        v.expected.intValue = static_cast<int32_t>(whole);  // truncation toward zero keeps it
      }
      break;
    }
    default: {  // an exponent: a double even when whole
      const int mantissa = Pick(random, 200000) - 100000;
      const int exponent = Pick(random, 8);
      std::snprintf(buffer, sizeof buffer, "%d%se%s%d", mantissa, Chance(random, 50) ? ".0" : "",
                    Chance(random, 50) ? "+" : "", exponent);
      int64_t value = mantissa;
      for (int e = 0; e < exponent; ++e) value *= 10;
      if (value > -2147483649LL && value < 2147483648LL) {
        v.expected.intIsDefault = false;
        v.expected.intValue = static_cast<int32_t>(value);
      }
      break;
    }
  }
  v.json = buffer;
  return v;
}

Value RandomValue(std::mt19937& random, int depth);

std::string RandomContainer(std::mt19937& random, int depth) {
  const bool object = Chance(random, 50);
  std::string out = object ? "{" : "[";
  for (int n = Pick(random, 4), i = 0; i < n; ++i) {
    if (i > 0) out += ",";
    out += Space(random);
    if (object) out += JsonString(random, RandomText(random, 5)) + Space(random) + ":" + Space(random);
    out += RandomValue(random, depth + 1).json + Space(random);
  }
  return out + (object ? "}" : "]");
}

Value RandomValue(std::mt19937& random, int depth) {
  Value v;
  switch (Pick(random, depth < 3 ? 10 : 8)) {
    case 0:
    case 1:
      return RandomNumber(random);
    case 2:
      v.json = "true";
      v.expected = {"", true, false, 1, false, L"true"};
      return v;
    case 3:
      v.json = "false";
      v.expected = {"", true, false, 0, false, L"false"};
      return v;
    case 4:
      v.json = "null";
      return v;
    case 5:
    case 6:
    case 7: {
      const std::wstring text = Chance(random, 50) ? NumberishText(random) : RandomText(random, 24);
      v.json = JsonString(random, text);
      v.expected = {"", true, false, LeadingInteger(text), false, text};
      return v;
    }
    default:
      v.json = RandomContainer(random, depth);
      return v;
  }
}

}  // namespace

const std::vector<std::string>& ServiceKeys() {
  static const std::vector<std::string> keys = {"status", "time", "expire", "info",
                                                "update", "notice_id", "notice_text"};
  return keys;
}

std::wstring RandomText(std::mt19937& random, size_t maxLength) {
  std::wstring text;
  for (size_t n = random() % (maxLength + 1); n > 0; --n) {
    const int kind = Pick(random, 100);
    if (kind < 45) {
      text += static_cast<wchar_t>(0x20 + Pick(random, 0x5F));
    } else if (kind < 50) {
      text += static_cast<wchar_t>(Pick(random, 0x20));  // controls, NUL included
    } else if (kind < 75) {
      text += static_cast<wchar_t>(0x4E00 + Pick(random, 0x51A6));
    } else if (kind < 90) {
      wchar_t c = static_cast<wchar_t>(0x80 + Pick(random, 0xFF7E));
      if (c >= 0xD800 && c <= 0xDFFF) c = L'\uFFFD';
      text += c;
    } else {
      const uint32_t astral = 0x10000 + static_cast<uint32_t>(Pick(random, 0x100000));
      text += static_cast<wchar_t>(0xD800 + ((astral - 0x10000) >> 10));
      text += static_cast<wchar_t>(0xDC00 + ((astral - 0x10000) & 0x3FF));
    }
  }
  return text;
}

std::string JsonString(std::mt19937& random, const std::wstring& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size();
    if (c == L'"') {
      out += "\\\"";
    } else if (c == L'\\') {
      out += "\\\\";
    } else if (c == L'/' && Chance(random, 50)) {
      out += "\\/";
    } else if (c == L'\n' && Chance(random, 50)) {
      out += "\\n";
    } else if (c < 0x20 || Chance(random, 25)) {
      AppendEscape(random, out, c);
      if (pair) AppendEscape(random, out, text[++i]);
    } else if (pair) {
      AppendUtf8(out, 0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

GeneratedReply GenerateReply(std::mt19937& random) {
  GeneratedReply reply;
  std::vector<std::string> members;
  std::vector<std::pair<std::string, size_t>> order;  // key, member position
  for (const std::string& key : ServiceKeys()) {
    ExpectedKey expected;
    expected.key = key;
    const int copies = Chance(random, 80) ? (Chance(random, 10) ? 2 : 1) : 0;
    for (int c = 0; c < copies; ++c) {
      Value value = RandomValue(random, 0);
      members.push_back(JsonString(random, std::wstring(key.begin(), key.end())) + Space(random) + ":" +
                        Space(random) + value.json);
      order.emplace_back(key, members.size() - 1);
      if (c == 0) {
        expected = value.expected;
        expected.key = key;
        expected.present = true;
      }
    }
    reply.keys.push_back(expected);
  }
  for (int n = Pick(random, 4); n > 0; --n) {  // members the program never reads
    static const char* const kNoise[] = {"Status", "status ", "data", "", "notice", "timeX"};
    const std::string key = kNoise[Pick(random, 6)];
    members.push_back(JsonString(random, std::wstring(key.begin(), key.end())) + ":" +
                      RandomValue(random, 1).json);
    order.emplace_back(key, members.size() - 1);
  }
  // Shuffle, but keep the copies of one key in their order: the first one counts.
  std::vector<size_t> positions(members.size());
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = i;
  std::shuffle(positions.begin(), positions.end(), random);
  std::vector<std::string> shuffled(members.size());
  std::vector<bool> used(members.size(), false);
  size_t next = 0;
  for (size_t p : positions) {
    if (used[p]) continue;
    for (size_t q = 0; q < order.size(); ++q) {
      if (order[q].first == order[p].first && !used[order[q].second]) {
        used[order[q].second] = true;
        shuffled[next++] = members[order[q].second];
      }
    }
  }
  reply.json = Space(random) + "{" + Space(random);
  for (size_t i = 0; i < shuffled.size(); ++i) {
    if (i > 0) reply.json += "," + Space(random);
    reply.json += shuffled[i] + Space(random);
  }
  reply.json += "}" + Space(random);
  return reply;
}

}  // namespace hardening
