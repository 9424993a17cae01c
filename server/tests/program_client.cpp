#include "program_client.h"

#include <cstdlib>

#include "raw_http.h"

ServiceReply ReadReply(const std::string& answer) {
  ServiceReply reply;
  for (size_t at = answer.find("HTTP/1."); at != std::string::npos; at = answer.find("HTTP/1.", at + 1)) ++reply.replies;
  const size_t space = answer.find(' ');
  const size_t blank = answer.find("\r\n\r\n");
  if (space == std::string::npos || blank == std::string::npos) return reply;
  reply.http = std::atoi(answer.c_str() + space + 1);
  reply.head = answer.substr(0, blank);
  reply.json.Parse(answer.c_str() + blank + 4);
  reply.status = static_cast<int>(reply.Int("status"));
  reply.info = reply.Text("info");
  return reply;
}

ServiceReply PostAction(int port, const std::string& action, const std::string& body, const std::string& from) {
  return ReadReply(RawExchange(port, ProgramRequest(port, action, body), from));
}

