#include "http/http_frontend.h"

#include <sodium.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

void Answer(httplib::Response& res, const ApiReply& reply) {
  res.status = 200;
  res.set_content(reply.json, "application/json; charset=utf-8");
}

std::string ClientAddress(const httplib::Request& req, const ServiceConfig& config) {
  if (config.trustProxy && req.has_header("X-Forwarded-For")) {
    // The proxy appends the address it saw last.
    const std::string chain = req.get_header_value("X-Forwarded-For");
    const size_t comma = chain.rfind(',');
    const std::string last = comma == std::string::npos ? chain : chain.substr(comma + 1);
    const size_t first = last.find_first_not_of(' ');
    if (first != std::string::npos) return last.substr(first);
  }
  return req.remote_addr;
}

void LogLine(const std::string& client, const std::string& action, const ApiReply& reply, double ms) {
  char stamp[32] = {};
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
  // The user name is printed in brackets as received; control characters are masked so a
  // name cannot forge log lines.
  std::string name = reply.username;
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  std::fprintf(stderr, "%s %s %s [%s] status=%d %s %.1fms\n", stamp, client.c_str(), action.c_str(), name.c_str(),
               reply.status, reply.info.c_str(), ms);
}

}  // namespace

void InstallRoutes(httplib::Server& server, AccountApi& api, const ServiceConfig& config) {
  server.Post("/index.php", [&api, &config](const httplib::Request& req, httplib::Response& res,
                                            const httplib::ContentReader& reader) {
    const auto start = std::chrono::steady_clock::now();
    const std::string action = req.get_param_value("a");
    // Read the raw body ourselves: the library's own form parsing would turn "+" into a
    // space and keep a second copy of the password.
    std::string body;
    body.reserve(kMaxBodyBytes);
    bool tooLarge = false;
    reader([&](const char* data, size_t length) {
      if (body.size() + length > kMaxBodyBytes) {
        tooLarge = true;
        return false;
      }
      body.append(data, length);
      return true;
    });

    ApiReply reply;
    const std::string client = ClientAddress(req, config);
    try {
      if (tooLarge) {
        reply = Refusal(reply_info::kTooLarge);
      } else if (req.get_param_value("g") != "Api" || req.get_param_value("m") != "Client") {
        reply = Refusal(reply_info::kUnknownRequest);
      } else if (action == "login") {
        reply = api.Login(body, client);
      } else if (action == "getInfo") {
        reply = api.GetInfo(body);
      } else if (action == "sendMsg") {
        reply = api.SendMsg(body);
      } else {
        reply = Refusal(reply_info::kUnknownRequest);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "request failed: %s\n", e.what());
      reply = Refusal(reply_info::kServerError);
    }
    body.resize(body.capacity());
    sodium_memzero(body.data(), body.size());
    Answer(res, reply);
    LogLine(client, action.empty() ? "-" : action, reply,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  });
  // Anything else is not the program talking.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    res.set_content(Refusal(reply_info::kUnknownRequest).json, "application/json; charset=utf-8");
  });
}
