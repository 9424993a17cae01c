// The service's JSON replies as a test reads them back from what RawExchange received.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

// What came back on one connection: the first reply's HTTP status, head and JSON, and how
// many replies came in all.
struct ServiceReply {
  int http = 0;  // 0 when no answer came
  size_t replies = 0;
  int status = -1;
  std::string head;
  std::string body;  // everything after the head
  std::string info;
  rapidjson::Document json;
  bool Has(const char* key) const { return json.IsObject() && json.HasMember(key); }
  int64_t Int(const char* key) const { return Has(key) && json[key].IsInt64() ? json[key].GetInt64() : -1; }
  std::string Text(const char* key) const { return Has(key) && json[key].IsString() ? json[key].GetString() : ""; }
};

ServiceReply ReadReply(const std::string& answer);

