#include "net/http_request.h"

#include <cwchar>

#include "text/leading_decimal.h"

HttpRequest OpenHttpRequest(HINTERNET session, const HttpRequestOptions& options) {
  HttpRequest opened;
  opened.connection.Reset(InternetConnectW(session, options.host.c_str(), options.port, options.user, options.password,
                                           INTERNET_SERVICE_HTTP, 0, options.context));
  if (!opened.connection) return opened;
  opened.request.Reset(HttpOpenRequestW(opened.connection.Get(), options.verb, options.object.c_str(), options.version,
                                        nullptr, const_cast<LPCWSTR*>(options.acceptTypes), options.flags, 0));
  if (!opened.request) {
    opened.stage = HttpRequest::Stage::kRequestFailed;
    return opened;
  }
  DWORD timeout = options.timeoutMs;
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
