#include "http/request_action.h"

namespace {

// The value of `key` in a query ("g=Api&m=Client&a=login"); empty when missing.
std::string_view QueryValue(std::string_view query, std::string_view key) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == key) return pair.substr(equals + 1);
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return {};
}

}  // namespace

RequestAction ReadRequestAction(std::string_view method, std::string_view target) {
  const size_t question = target.find('?');
  if (method != "POST" || question == std::string_view::npos || target.substr(0, question) != "/index.php") {
    return RequestAction::kUnknown;
  }
  const std::string_view query = target.substr(question + 1);
  if (QueryValue(query, "g") != "Api" || QueryValue(query, "m") != "Client") return RequestAction::kUnknown;
  const std::string_view action = QueryValue(query, "a");
  if (action == "login") return RequestAction::kLogin;
  if (action == "getInfo") return RequestAction::kGetInfo;
  if (action == "sendMsg") return RequestAction::kSendMsg;
  return RequestAction::kUnknown;
}

const char* ActionName(RequestAction action) {
  switch (action) {
    case RequestAction::kLogin:
      return "login";
    case RequestAction::kGetInfo:
      return "getInfo";
    case RequestAction::kSendMsg:
      return "sendMsg";
    case RequestAction::kUnknown:
      break;
  }
  return "-";
}
