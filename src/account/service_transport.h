// The account-service exchange as the request logic sees it, so that sign-in, service
// information and reminders can be driven by a fake service in tests.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>

#include "account/service_post.h"

class ServiceTransport {
 public:
  virtual ~ServiceTransport() = default;
  // One exchange: the result code and, for kPostOk, the reply body.
  virtual ServiceReply Post(const std::wstring& path, const std::wstring& form) = 0;
};

// The real exchange over WinINet. With a quit flag, every exchange is abandoned (result
// kPostSendFailed) as soon as the flag is set; without one it runs to its end.
class WinInetTransport final : public ServiceTransport {
 public:
  explicit WinInetTransport(ServiceEndpoint endpoint = {}, const std::atomic<bool>* quit = nullptr)
      : endpoint_(std::move(endpoint)), quit_(quit) {}

  ServiceReply Post(const std::wstring& path, const std::wstring& form) override {
    return quit_ ? ServicePostAbandonable(path, form, endpoint_, *quit_)
                 : ServicePost(path, form, endpoint_);
  }

 private:
  ServiceEndpoint endpoint_;
  const std::atomic<bool>* quit_;
};

// Waits the given number of milliseconds (Sleep in production, a fake clock in tests).
using SleepFunction = std::function<void(unsigned long milliseconds)>;

inline void SleepMilliseconds(unsigned long milliseconds) { Sleep(milliseconds); }
