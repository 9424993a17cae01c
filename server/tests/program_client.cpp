#include "program_client.h"

#include <cstdlib>

#include "test_folder.h"

ServiceReply ReadReply(const std::string& answer) {
  ServiceReply reply;
  reply.replies = Occurrences(answer, "HTTP/1.");
  const size_t space = answer.find(' ');
  const size_t blank = answer.find("\r\n\r\n");
  if (space == std::string::npos || blank == std::string::npos) return reply;
  reply.http = std::atoi(answer.c_str() + space + 1);
  reply.head = answer.substr(0, blank);
  reply.body = answer.substr(blank + 4);
  reply.json.Parse(reply.body.c_str());
  reply.status = static_cast<int>(reply.Int("status"));
  reply.info = reply.Text("info");
  return reply;
}

