#include "monitor/http_check.h"

#include <memory>

#include "net/http_request.h"
#include "win/internet_handle.h"

namespace {

// The parts of an address that a request is built from.
struct AddressParts {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring user;
  std::wstring password;
  std::wstring object;  // path and query, never empty
};

// Credentials go to the connection only when the address carries them.
const wchar_t* NullWhenEmpty(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

std::wstring Part(const wchar_t* text, DWORD length) {
  return text && length ? std::wstring(text, length) : std::wstring();
}

// Control characters have no place in an address; a line carrying one (a tab in front,
// a lone line feed from the site box) is refused rather than put on the request line.
bool HasControlCharacter(const std::wstring& url) {
  for (wchar_t c : url) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool SplitAddress(const std::wstring& url, AddressParts& parts) {
  if (url.empty() || HasControlCharacter(url)) return false;
  URL_COMPONENTSW c{};
  c.dwStructSize = sizeof c;
  // A non-zero length with a null pointer asks for a pointer into url.
  c.dwSchemeLength = c.dwHostNameLength = c.dwUserNameLength = c.dwPasswordLength = c.dwUrlPathLength =
      c.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(url.c_str(), 0, 0, &c)) return false;
  if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS) return false;
  parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
  parts.host = Part(c.lpszHostName, c.dwHostNameLength);
  if (parts.host.empty()) return false;
  parts.port = c.nPort;
  parts.user = Part(c.lpszUserName, c.dwUserNameLength);
  parts.password = Part(c.lpszPassword, c.dwPasswordLength);
  // The query goes with the path; a fragment never goes on the wire.
  std::wstring extra = Part(c.lpszExtraInfo, c.dwExtraInfoLength);
  extra = extra.substr(0, extra.find(L'#'));
  parts.object = Part(c.lpszUrlPath, c.dwUrlPathLength) + extra;
  if (parts.object.empty() || parts.object[0] != L'/') parts.object.insert(0, L"/");
  return true;
}

}  // namespace

// Most sites send their http address on to https. A system set to warn when a page moves
// between secure and non-secure fails such a redirection (error 12039) unless the request
// says to follow it, and the site would count as unreachable.
DWORD SiteCheckRequestFlags(bool secure) {
  return INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
         (secure ? INTERNET_FLAG_SECURE : 0);
}

HttpCheckOutcome CheckAddress(const std::wstring& url, unsigned long timeoutMs) {
  const win::InternetHandle session(
      InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_DONT_CACHE));
  if (!session) return {HttpCheckResult::kInitFailed, 0};

  const HttpCheckOutcome openFailed{HttpCheckResult::kOpenFailed, 0};
  AddressParts parts;
  if (!SplitAddress(url, parts)) return openFailed;

  // The same request as opening the address directly: "Accept: */*" (some servers and
  // firewalls refuse a request without one), no user agent, redirections followed.
  static const wchar_t* const kAcceptTypes[] = {L"*/*", nullptr};
  HttpRequestOptions options;
  options.host = parts.host;
  options.port = parts.port;
  options.user = NullWhenEmpty(parts.user);
  options.password = NullWhenEmpty(parts.password);
  options.object = parts.object;
  options.acceptTypes = kAcceptTypes;
  options.flags = SiteCheckRequestFlags(parts.secure);
  options.timeoutMs = timeoutMs;
  const HttpRequest request = OpenHttpRequest(session.Get(), options);
  if (request.stage != HttpRequest::Stage::kOpened) return openFailed;
  if (!HttpSendRequestW(request.request.Get(), nullptr, 0, nullptr, 0)) return openFailed;

  bool read = false;
  const int status = ReadStatusCode(request.request.Get(), read);
  return {read ? HttpCheckResult::kStatusRead : HttpCheckResult::kQueryFailed, status};
}

HttpCheckOutcome RunAbandonableCheck(const std::wstring& url, unsigned long timeoutMs, const std::atomic<bool>& stop,
                                     const std::atomic<bool>& quit, PoolQueue queue) {
  std::shared_ptr<HttpCheckOutcome> outcome;
  try {
    // The request keeps its own copy of the address and its own share of the outcome.
    outcome = std::make_shared<HttpCheckOutcome>(HttpCheckOutcome{HttpCheckResult::kOpenFailed, 0});
    switch (RunAbandonable([url, timeoutMs, outcome] { *outcome = CheckAddress(url, timeoutMs); }, stop, quit,
                           queue)) {
      case RunEnd::kFinished:
        return *outcome;
      case RunEnd::kAbandoned:
        return {HttpCheckResult::kAbandoned, 0};
      case RunEnd::kNotQueued:
        // The pool has no room for it: the check runs here instead. It cannot be abandoned
        // then, but it still ends at its time-out, and the network is not to blame.
        if (stop || quit) return {HttpCheckResult::kAbandoned, 0};
        return CheckAddress(url, timeoutMs);
      case RunEnd::kNoMemory:
        break;
    }
  } catch (...) {
  }
  return {HttpCheckResult::kOpenFailed, 0};  // no memory for this one check
}
