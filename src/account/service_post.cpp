#include "account/service_post.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "win/internet_handle.h"
#include "account/leading_decimal.h"
#include "account/secure_wipe.h"
#include "account/text_codec.h"

using win::InternetHandle;

namespace {

constexpr wchar_t kAgent[] = L"Lumacorn";
constexpr wchar_t kContentType[] = L"Content-Type: application/x-www-form-urlencoded";
constexpr DWORD kChunkSize = 512;

ServiceReply Fail(int code) {
  ServiceReply reply;
  reply.code = code;
  return reply;
}

void SetRequestTimeouts(HINTERNET request, unsigned long timeoutMs) {
  // Only time-outs set on the request handle govern the send and the reads.
  DWORD value = timeoutMs;
  InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
  InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
  InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
}

int QueryStatus(HINTERNET request) {
  // A failed query leaves the zeroed buffer empty, which reads as status 0.
  wchar_t status[25] = {};
  DWORD size = sizeof status;
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, status, &size, nullptr);
  status[24] = L'\0';
  return LeadingDecimal(status, wcslen(status));
}

void ReadBody(HINTERNET request, ReplyBuffer& body) {
  char chunk[kChunkSize + 1];
  for (;;) {
    ZeroMemory(chunk, sizeof chunk);
    DWORD read = 0;
    if (!InternetReadFile(request, chunk, kChunkSize, &read) || read == 0) return;
    // Out of memory ends the body like a failed read: what was read so far is the reply.
    if (!body.Append(chunk, read)) return;
  }
}

ServiceReply Exchange(const std::wstring& path, const std::wstring& form,
                      const ServiceEndpoint& endpoint) {
  InternetHandle session(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Fail(kPostSessionFailed);

  InternetHandle connection(InternetConnectW(session.Get(), endpoint.host.c_str(), endpoint.port,
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!connection) return Fail(kPostConnectFailed);

  LPCWSTR accept[] = {L" */*", nullptr};
  InternetHandle request(HttpOpenRequestW(connection.Get(), L"POST", path.c_str(), L"HTTP/1.0",
                                          nullptr, accept, INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request) return Fail(kPostRequestFailed);
  SetRequestTimeouts(request.Get(), endpoint.timeoutMs);

  // The form may carry the encoded password: the converted copy is wiped once sent.
  std::string body = Utf16ToCodePage(form, CP_ACP);
  const BOOL sent = HttpSendRequestW(request.Get(), kContentType, static_cast<DWORD>(-1),
                                     body.empty() ? nullptr : body.data(),
                                     static_cast<DWORD>(body.size()));
  SecureWipe(body);
  if (!sent) return Fail(kPostSendFailed);

  const int status = QueryStatus(request.Get());
  if (status < 200 || status > 206) return Fail(kPostBadStatus);

  ServiceReply reply;
  reply.code = kPostOk;
  ReadBody(request.Get(), reply.body);
  return reply;
  // The handles close here in reverse order: request, connection, session.
}

// The result slot shared by an abandonable exchange's thread and its caller.
struct PendingExchange {
  std::wstring path;
  std::wstring form;
  ServiceEndpoint endpoint;
  std::mutex mutex;  // guards done and reply
  std::condition_variable finished;
  bool done = false;
  ServiceReply reply;
};

}  // namespace

ServiceReply ServicePost(const std::wstring& path, const std::wstring& form,
                         const ServiceEndpoint& endpoint) {
  try {
    return Exchange(path, form, endpoint);
  } catch (const std::bad_alloc&) {
    return Fail(kPostSendFailed);
  }
}

ServiceReply ServicePostAbandonable(const std::wstring& path, const std::wstring& form,
                                    const ServiceEndpoint& endpoint,
                                    const std::atomic<bool>& quit) {
  if (quit) return Fail(kPostSendFailed);
  std::shared_ptr<PendingExchange> pending;
  try {
    pending = std::make_shared<PendingExchange>();
    pending->path = path;
    pending->form = form;
    pending->endpoint = endpoint;
    std::thread([pending]() noexcept {
      ServiceReply reply = ServicePost(pending->path, pending->form, pending->endpoint);
      SecureWipe(pending->form);
      std::lock_guard<std::mutex> lock(pending->mutex);
      pending->reply = std::move(reply);
      pending->done = true;
      pending->finished.notify_all();
    }).detach();
  } catch (...) {
    if (pending) SecureWipe(pending->form);
    return Fail(kPostSessionFailed);
  }

  std::unique_lock<std::mutex> lock(pending->mutex);
  while (!pending->done) {
    // quit is not tied to the condition variable, so it is polled.
    if (quit) return Fail(kPostSendFailed);
    pending->finished.wait_for(lock, std::chrono::milliseconds(100));
  }
  return std::move(pending->reply);
}
