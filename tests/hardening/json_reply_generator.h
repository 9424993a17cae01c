// Generates account-service replies from a seed together with what each reply key must
// read as, so that thousands of varied replies can be checked against the reading rules.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace hardening {

// What GetInt and GetText must give for one key of a generated reply.
struct ExpectedKey {
  std::string key;
  bool present = false;       // false: both reads give their defaults
  bool intIsDefault = true;   // GetInt gives its default
  int32_t intValue = 0;       // otherwise this
  bool textIsDefault = true;  // GetText gives its default pointer
  std::wstring textValue;     // otherwise this
};

struct GeneratedReply {
  std::string json;
  std::vector<ExpectedKey> keys;  // every key the service defines, present or not
};

// One reply: a root object with the service's keys (some missing, some repeated, the
// first occurrence counting), values of every JSON type, escaped and raw UTF-8 text,
// nested noise members and random white space between tokens.
GeneratedReply GenerateReply(std::mt19937& random);

// Random UTF-16 text: ASCII, controls, CJK, astral characters as surrogate pairs.
std::wstring RandomText(std::mt19937& random, size_t maxLength);

// text as a JSON string literal (quotes included), each character raw UTF-8 or escaped.
std::string JsonString(std::mt19937& random, const std::wstring& text);

// The reply keys the program reads.
const std::vector<std::string>& ServiceKeys();

}  // namespace hardening
