// A scripted account service and a fake clock for the request logic.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "account/service_transport.h"

namespace service_test {

inline ServiceReply Reply(int code, const std::string& body = "") {
  ServiceReply reply;
  reply.code = code;
  reply.body.Append(body.data(), body.size());
  return reply;
}

// Answers every post from a script (the last entry repeats) and records what was posted
// and at which fake second.
class FakeTransport : public ServiceTransport {
 public:
  struct Sent {
    std::wstring path;
    std::wstring form;
    long second;
  };

  explicit FakeTransport(std::vector<ServiceReply> script, const long* clock = nullptr)
      : script_(std::move(script)), clock_(clock) {}

  ServiceReply Post(const std::wstring& path, const std::wstring& form) override {
    posts.push_back({path, form, clock_ ? *clock_ : 0});
    const size_t i = posts.size() - 1 < script_.size() ? posts.size() - 1 : script_.size() - 1;
    ServiceReply reply;
    reply.code = script_[i].code;
    reply.body.Append(script_[i].body.Text(), script_[i].body.Length());
    return reply;
  }

  std::vector<Sent> posts;

 private:
  std::vector<ServiceReply> script_;
  const long* clock_;
};

// Counts one-second sleeps as seconds of a fake clock; onSecond runs after each one.
struct FakeClock {
  long seconds = 0;
  long sleeps = 0;
  std::function<void(long)> onSecond;

  SleepFunction Sleeper() {
    return [this](unsigned long ms) {
      seconds += static_cast<long>(ms / 1000);
      ++sleeps;
      if (onSecond) onSecond(seconds);
    };
  }
};

}  // namespace service_test
