#include "program_client.h"

#include "api/base64_text.h"
#include "raw_http.h"

ServiceReply PostAction(int port, const std::string& action, const std::string& body, const char* from) {
  const RawReply raw = RawExchange(port, ProgramRequest(port, action, body), from);
  ServiceReply reply;
  reply.http = raw.status;
  reply.json.Parse(raw.body.c_str());
  reply.status = static_cast<int>(reply.Int("status"));
  reply.info = reply.Text("info");
  return reply;
}

std::string LoginBody(const std::string& email, const std::string& password, const std::string& machine) {
  return "username=" + email + "&pwd=" + Base64(password) + "&id=" + machine + "&softtype=2&ver=1.1.0.2";
}

std::string InfoBody(const std::string& email, const std::string& machine) {
  return "username=" + email + "&id=" + machine + "&softtype=2&ver=1.1.0.2";
}

std::string ReminderBody(const std::string& email, int tpl, int code, const std::string& url,
                         const std::string& machine) {
  return InfoBody(email, machine) + "&tpl=" + std::to_string(tpl) + "&code=" + std::to_string(code) + "&url=" + url;
}
