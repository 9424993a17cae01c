#include "monitor/http_check.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "win/internet_handle.h"

using win::InternetHandle;

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

// The status text as a decimal number: its leading digits, 0 when there are none.
int LeadingDecimal(const wchar_t* text) {
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    value = value * 10 + (*text - L'0');
    if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
  }
  return static_cast<int>(value);
}

void SetTimeouts(HINTERNET request, DWORD timeoutMs) {
  // Only time-outs set on the request handle are honoured by every WinINet we run on.
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(request, option, &timeoutMs, sizeof timeoutMs);
  }
}

constexpr auto kFlagPollInterval = std::chrono::milliseconds(50);

}  // namespace

HttpCheckOutcome CheckAddress(const std::wstring& url, unsigned long timeoutMs) {
  InternetHandle session(
      InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_DONT_CACHE));
  if (!session) return {HttpCheckResult::kInitFailed, 0};

  const HttpCheckOutcome openFailed{HttpCheckResult::kOpenFailed, 0};
  AddressParts parts;
  if (!SplitAddress(url, parts)) return openFailed;

  InternetHandle connection(InternetConnectW(session.Get(), parts.host.c_str(), parts.port,
                                             parts.user.empty() ? nullptr : parts.user.c_str(),
                                             parts.password.empty() ? nullptr : parts.password.c_str(),
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return openFailed;

  DWORD flags = INTERNET_FLAG_RELOAD;
  if (parts.secure) flags |= INTERNET_FLAG_SECURE;
  // The same request as opening the address directly: "Accept: */*" (some servers and
  // firewalls refuse a request without one), no user agent, redirections followed.
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  InternetHandle request(
      HttpOpenRequestW(connection.Get(), L"GET", parts.object.c_str(), nullptr, nullptr, acceptTypes, flags, 0));
  if (!request) return openFailed;
  SetTimeouts(request.Get(), timeoutMs);
  if (!HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0)) return openFailed;

  wchar_t status[25] = {};  // 50 bytes, zeroed: an unread status reads as 0
  DWORD size = sizeof status;
  const bool read = HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE, status, &size, nullptr) != FALSE;
  status[24] = L'\0';
  return {read ? HttpCheckResult::kStatusRead : HttpCheckResult::kQueryFailed, LeadingDecimal(status)};
}

namespace {

// One check's state, shared by the pool thread that runs it and the worker waiting for
// it: whichever of the two lets go last frees it. Guarded by mutex.
struct CheckSlot {
  std::wstring url;
  unsigned long timeoutMs = 0;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  HttpCheckOutcome outcome;
};

// Runs on a thread of the process's thread pool; context is a heap-held share of the slot,
// which the callback owns. It touches only that share, its copy of the address and its
// handles, so a check whose worker has gone away finishes harmlessly.
void CALLBACK RunCheck(PTP_CALLBACK_INSTANCE instance, void* context) noexcept {
  const std::unique_ptr<std::shared_ptr<CheckSlot>> share(static_cast<std::shared_ptr<CheckSlot>*>(context));
  CheckSlot& slot = **share;
  // A request may block until its time-out: the pool starts another thread for other
  // checks rather than letting them queue behind this one.
  CallbackMayRunLong(instance);
  HttpCheckOutcome outcome;
  try {
    outcome = CheckAddress(slot.url, slot.timeoutMs);
  } catch (...) {
    outcome = {HttpCheckResult::kOpenFailed, 0};
  }
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.outcome = outcome;
  slot.done = true;
  slot.finished.notify_all();
}

}  // namespace

bool QueueOnThreadPool(PTP_SIMPLE_CALLBACK callback, void* context) {
  return TrySubmitThreadpoolCallback(callback, context, nullptr) != FALSE;
}

HttpCheckOutcome RunAbandonableCheck(const std::wstring& url, unsigned long timeoutMs, const std::atomic<bool>& stop,
                                     const std::atomic<bool>& quit, CheckQueue queue) {
  std::shared_ptr<CheckSlot> slot;
  try {
    slot = std::make_shared<CheckSlot>();
    slot->url = url;
    slot->timeoutMs = timeoutMs;
    auto share = std::make_unique<std::shared_ptr<CheckSlot>>(slot);
    // The pool keeps its threads for a while between checks, so a check does not pay for
    // starting a thread (several milliseconds on some systems) while checks keep coming.
    if (!queue(RunCheck, share.get())) {
      // The pool has no room for it: the check runs here instead. It cannot be abandoned
      // then, but it still ends at its time-out, and the network is not to blame.
      if (stop || quit) return {HttpCheckResult::kAbandoned, 0};
      return CheckAddress(url, timeoutMs);
    }
    share.release();  // the callback owns it now
  } catch (...) {
    return {HttpCheckResult::kOpenFailed, 0};  // no memory for this one check
  }

  std::unique_lock<std::mutex> lock(slot->mutex);
  while (!slot->done) {
    // The request runs on with its own share of the slot and ends at its time-out.
    if (stop || quit) return {HttpCheckResult::kAbandoned, 0};
    slot->finished.wait_for(lock, kFlagPollInterval);
  }
  return slot->outcome;
}
