#include "net/http_request.h"

#include <cwchar>

#include "text/leading_decimal.h"

HttpRequest OpenHttpRequest(HINTERNET session, const HttpRequestSpec& spec) {
  HttpRequest opened;
  opened.connection.Reset(InternetConnectW(session, spec.host.c_str(), spec.port, spec.user, spec.password,
                                           INTERNET_SERVICE_HTTP, 0, spec.context));
  if (!opened.connection) return opened;
  opened.request.Reset(HttpOpenRequestW(opened.connection.Get(), spec.verb, spec.object.c_str(), spec.version,
                                        nullptr, const_cast<LPCWSTR*>(spec.acceptTypes), spec.flags, 0));
  if (!opened.request) {
    opened.stage = HttpRequest::Stage::kRequestFailed;
    return opened;
  }
  DWORD timeout = spec.timeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(opened.request.Get(), option, &timeout, sizeof timeout);
  }
  opened.stage = HttpRequest::Stage::kOpened;
  return opened;
}

int ReadStatusCode(HINTERNET request, bool& read) {
  wchar_t status[25] = {};  // 50 bytes, zeroed: an unread status reads as 0
  DWORD size = sizeof status;
  read = HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, status, &size, nullptr) != FALSE;
  status[24] = L'\0';
  return LeadingDecimal(status, std::wcslen(status));
}
