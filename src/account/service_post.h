// One form-post exchange with the account service over WinINet.
#pragma once

#include <atomic>
#include <string>

#include "build_config.h"
#include "account/reply_buffer.h"

// Result codes of an exchange, by the stage that failed.
enum ServicePostCode : int {
  kPostSessionFailed = -5,  // the HTTP session could not be opened
  kPostConnectFailed = -4,  // the connection to the host could not be set up
  kPostRequestFailed = -3,  // the request could not be opened
  kPostSendFailed = -2,     // not sent, no answer in time, or abandoned
  kPostBadStatus = -1,      // an answer came with a status outside 200..206
  kPostOk = 0,              // status 200..206; the body is in the reply
};

// The account service's host and port: the build's constants, unless a test or the test
// build of the program has given 127.0.0.1 and a port of its own (ProcessSeams).
std::wstring DefaultServiceHost();
unsigned short DefaultServicePort();

// Where the service is reached. Production uses the defaults above; tests point it at a
// local server and shorten the time-out.
struct ServiceEndpoint {
  std::wstring host = DefaultServiceHost();
  unsigned short port = DefaultServicePort();
  // Connect, send and receive time-out of the request. Without one, a service that
  // accepts the connection and never answers would block the calling thread for good.
  unsigned long timeoutMs = build_config::kRequestTimeoutMs;
};

struct ServiceReply {
  int code = kPostSendFailed;
  ReplyBuffer body;  // the whole reply body when code is kPostOk, otherwise empty
};

// Posts the UTF-16 form (sent in the ANSI code page) to path on the service and reads
// the reply. Opens its own session, connection and request and closes all three before
// it returns; never retries. path is relative to the host root, e.g.
// L"index.php?g=Api&m=Client&a=login". The converted body is wiped after sending.
ServiceReply ServicePost(const std::wstring& path, const std::wstring& form,
                         const ServiceEndpoint& endpoint = {});

// Runs ServicePost on a short-lived thread of its own and waits for it, but returns
// kPostSendFailed as soon as quit is set: a program that is closing then does not wait
// for a hung service. The thread owns copies of its inputs and shares only the result
// slot with the caller, so an abandoned exchange finishes (or times out) harmlessly on
// its own. Returns kPostSendFailed at once when quit is already set, and
// kPostSessionFailed when no thread could be started.
ServiceReply ServicePostAbandonable(const std::wstring& path, const std::wstring& form,
                                    const ServiceEndpoint& endpoint,
                                    const std::atomic<bool>& quit);
