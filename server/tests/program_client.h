// The program's three requests to the service as a test sends them (the form bodies the
// program writes, through RawExchange) and the JSON replies read back.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

struct ServiceReply {
  int http = 0;
  int status = -1;
  std::string info;
  rapidjson::Document json;
  bool Has(const char* key) const { return json.IsObject() && json.HasMember(key); }
  int64_t Int(const char* key) const { return Has(key) && json[key].IsInt64() ? json[key].GetInt64() : -1; }
  std::string Text(const char* key) const { return Has(key) && json[key].IsString() ? json[key].GetString() : ""; }
};

// Posts `body` as the program posts `action` to the service on 127.0.0.1:port, from the
// loopback address `from`.
ServiceReply PostAction(int port, const std::string& action, const std::string& body, const char* from = "127.0.0.1");

std::string LoginBody(const std::string& email, const std::string& password, const std::string& machine);
std::string InfoBody(const std::string& email, const std::string& machine);
std::string ReminderBody(const std::string& email, int tpl, int code, const std::string& url,
                         const std::string& machine);
