// One HTTP request over WinINet as every request of the program is built: a connection and
// a request on the caller's session, with the connect, send and receive time-outs set on
// the request handle (the only place every WinINet we run on honours them; without them a
// server that accepts and never answers would block the caller for good), and the status
// code read back once the request has been sent.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "win/internet_handle.h"

struct HttpRequestOptions {
  std::wstring host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
  const wchar_t* user = nullptr;  // credentials from the address; nullptr when none
  const wchar_t* password = nullptr;
  DWORD_PTR context = 0;
  const wchar_t* verb = L"GET";
  std::wstring object;               // path and query
  const wchar_t* version = nullptr;  // nullptr: HTTP/1.1
  const wchar_t* const* acceptTypes = nullptr;
  DWORD flags = 0;
  unsigned long timeoutMs = 0;  // connect, send and receive
};

// The handles of one request; they close in reverse order, the request first.
struct HttpRequest {
  enum class Stage { kOpened, kConnectFailed, kRequestFailed };
  Stage stage = Stage::kConnectFailed;
  win::InternetHandle connection;
  win::InternetHandle request;  // open only when stage is kOpened
};

HttpRequest OpenHttpRequest(HINTERNET session, const HttpRequestOptions& options);

// The status code of a sent request: the leading decimal of its status text, 0 when it
// could not be read (read then says false).
int ReadStatusCode(HINTERNET request, bool& read);
