#include "channels/channel_post.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <memory>

#include "channels/address_check.h"

namespace {

struct Transfer {
  const PostLimits& limits;
  std::string body;
  bool capped = false;
  bool refusedAddress = false;
};

// Opens the socket only for an address the limits allow; libcurl tries the next address
// of the name, if any, when this one is refused.
curl_socket_t OpenCheckedSocket(void* context, curlsocktype purpose, curl_sockaddr* address) {
  auto* transfer = static_cast<Transfer*>(context);
  if (purpose != CURLSOCKTYPE_IPCXN ||
      !AddressAllowed(ClassifyAddress(&address->addr), transfer->limits.allowPrivate)) {
    transfer->refusedAddress = true;
    return CURL_SOCKET_BAD;
  }
  return socket(address->family, address->socktype, address->protocol);
}

// Keeps the start of the reply; a longer one ends the transfer (the status is known by then).
size_t KeepReply(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<Transfer*>(context);
  const size_t length = size * count;
  const size_t room = transfer->limits.maxReplyBytes - transfer->body.size();
  if (length > room) {
    transfer->body.append(data, room);
    transfer->capped = true;
    return 0;
  }
  transfer->body.append(data, length);
  return length;
}

}  // namespace

VendorReply PostChannelRequest(const OutgoingRequest& request, const PostLimits& limits) {
  VendorReply reply;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) {
    reply.error = "curl_easy_init failed";
    return reply;
  }
  Transfer transfer{limits, {}};
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json; charset=utf-8");
  for (const auto& [name, value] : request.headers) headers = curl_slist_append(headers, (name + ": " + value).c_str());

  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // an http_proxy variable would make the check see the proxy
  curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, OpenCheckedSocket);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, KeepReply);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limits.totalSeconds);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, "tarn-account-service");
  const CURLcode result = curl_easy_perform(c);
  curl_slist_free_all(headers);

  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t retryAfter = -1;
  if (curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0) {
    reply.retryAfter = static_cast<int64_t>(retryAfter);
  }
  if (result != CURLE_OK && !(transfer.capped && status != 0)) {
    reply.error = transfer.refusedAddress ? "the address is not allowed for channels" : curl_easy_strerror(result);
    return reply;
  }
  reply.status = static_cast<int>(status);
  reply.body = std::move(transfer.body);
  if (char* location = nullptr; curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location) {
    reply.location = location;
  }
  return reply;
}
