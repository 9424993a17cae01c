// A vendor-shaped receiver (channel_receiver.py) on 127.0.0.1 for tests, and what it got.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "service_process.h"
#include "test_folder.h"

class ChannelReceiver {
 public:
  // `kind` as the service names it; `target` the key, token, hook or path it accepts and
  // `secret` the signing secret it checks ("" for none).
  ChannelReceiver(const TestFolder& folder, std::string kind, std::string target, std::string secret);
  void Start();
  void Stop() { server_.reset(); }
  bool Running() const { return server_ && server_->Running(); }

  int Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // The message texts accepted so far, oldest first.
  std::vector<std::string> Texts() const;
  // Answers the next `count` requests with the vendor's "too many requests" (busy) or 503 (down).
  void AnswerBusy(int count) const;
  // Answers every request with a redirect to `address`.
  void RedirectTo(const std::string& address) const;
  // Holds every message before taking it, until Release; how many were held so far.
  void Hold() const;
  void Release() const;
  size_t Held() const;
  // The times the vendor's rate was exceeded.
  size_t RateViolations() const;

 private:
  std::string kind_, target_, secret_, log_;
  int port_;
  std::unique_ptr<ServiceProcess> server_;
};
