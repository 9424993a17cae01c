#include "account/service_post.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <new>

#include "account/secure_wipe.h"
#include "build_config.h"
#include "flags/process_seams.h"
#include "net/abandonable_run.h"
#include "net/http_request.h"
#include "text/code_page.h"
#include "win/internet_handle.h"

std::wstring DefaultServiceHost() {
  return Seams().serviceHost.empty() ? std::wstring(build_config::kServiceHost) : Seams().serviceHost;
}

unsigned short DefaultServicePort() {
  return Seams().serviceHost.empty() ? build_config::kServicePort : Seams().servicePort;
}

namespace {

constexpr wchar_t kAgent[] = L"Lumacorn";
constexpr wchar_t kContentType[] = L"Content-Type: application/x-www-form-urlencoded";
constexpr DWORD kChunkSize = 512;

ServiceReply Fail(int code) {
  ServiceReply reply;
  reply.code = code;
  return reply;
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
  const win::InternetHandle session(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return Fail(kPostSessionFailed);

  static const wchar_t* const kAcceptTypes[] = {L" */*", nullptr};
  HttpRequestOptions options;
  options.host = endpoint.host;
  options.port = endpoint.port;
  options.context = 1;
  options.verb = L"POST";
  options.object = path;
  options.version = L"HTTP/1.0";
  options.acceptTypes = kAcceptTypes;
  options.flags = INTERNET_FLAG_NO_CACHE_WRITE;
  options.timeoutMs = endpoint.timeoutMs;
  const HttpRequest request = OpenHttpRequest(session.Get(), options);
  if (request.stage == HttpRequest::Stage::kConnectFailed) return Fail(kPostConnectFailed);
  if (request.stage == HttpRequest::Stage::kRequestFailed) return Fail(kPostRequestFailed);

  // The form may carry the encoded password: the converted copy is wiped once sent.
  std::string body = WideToCodePage(form, CP_ACP);
  const BOOL sent = HttpSendRequestW(request.request.Get(), kContentType, static_cast<DWORD>(-1),
                                     body.empty() ? nullptr : body.data(),
                                     static_cast<DWORD>(body.size()));
  SecureWipe(body);
  if (!sent) return Fail(kPostSendFailed);

  bool read = false;
  const int status = ReadStatusCode(request.request.Get(), read);
  if (status < 200 || status > 206) return Fail(kPostBadStatus);

  ServiceReply reply;
  reply.code = kPostOk;
  ReadBody(request.request.Get(), reply.body);
  return reply;
  // The handles close here in reverse order: request, connection, session.
}

// What an abandonable exchange's work owns: copies of its inputs and the reply slot.
struct PendingExchange {
  std::wstring path;
  std::wstring form;
  ServiceEndpoint endpoint;
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
  RunEnd end = RunEnd::kNoMemory;
  try {
    pending = std::make_shared<PendingExchange>();
    pending->path = path;
    pending->form = form;
    pending->endpoint = endpoint;
    end = RunAbandonable(
        [pending] {
          pending->reply = ServicePost(pending->path, pending->form, pending->endpoint);
          SecureWipe(pending->form);
        },
        quit, quit);
  } catch (...) {
  }
  switch (end) {
    case RunEnd::kFinished:
      return std::move(pending->reply);
    case RunEnd::kAbandoned:
      return Fail(kPostSendFailed);
    case RunEnd::kNotQueued:
    case RunEnd::kNoMemory:
      break;
  }
  if (pending) SecureWipe(pending->form);
  return Fail(kPostSessionFailed);
}
