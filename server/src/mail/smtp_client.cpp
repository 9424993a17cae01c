#include "mail/smtp_client.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>

namespace {

struct Upload {
  const std::string& data;
  size_t offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* context) {
  auto* upload = static_cast<Upload*>(context);
  const size_t length = std::min(size * count, upload->data.size() - upload->offset);
  std::memcpy(buffer, upload->data.data() + upload->offset, length);
  upload->offset += length;
  return length;
}

}  // namespace

std::string SendMail(const SmtpSettings& smtp, const std::string& recipient, const std::string& message) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) return "curl_easy_init failed";
  const std::string scheme = smtp.security == "tls" ? "smtps://" : "smtp://";
  const std::string url = scheme + smtp.host + ":" + std::to_string(smtp.port);
  const std::string from = "<" + smtp.sender + ">";
  const std::string to = "<" + recipient + ">";
  curl_slist* recipients = curl_slist_append(nullptr, to.c_str());
  Upload upload{message};

  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, smtp.timeoutSeconds);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(smtp.timeoutSeconds, 10L));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  if (smtp.security == "starttls") curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
  if (!smtp.user.empty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, smtp.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, smtp.password.c_str());
  }
  const CURLcode result = curl_easy_perform(c);
  curl_slist_free_all(recipients);
  return result == CURLE_OK ? std::string() : curl_easy_strerror(result);
}
