#include "channel_receiver.h"

#include <rapidjson/document.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "raw_http.h"
#include "test_folder.h"

ChannelReceiver::ChannelReceiver(const TestFolder& folder, std::string kind, std::string target, std::string secret)
    : kind_(std::move(kind)),
      target_(std::move(target)),
      secret_(std::move(secret)),
      log_(folder.Path() + "/" + kind_ + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log"),
      port_(FreePort()) {}

void ChannelReceiver::Start() {
  // A free port may be taken by someone else before the receiver binds it (another
  // process's listener, or an outgoing connection's own port): the receiver says when it
  // has bound, and ends when it could not, and then another port is tried.
  const std::string ready = log_ + ".ready";
  for (int attempt = 0; attempt < 5; ++attempt, port_ = FreePort()) {
    std::remove(ready.c_str());
    server_ = std::make_unique<ServiceProcess>(
        std::vector<std::string>{"/usr/bin/python3", std::string(TESTS_SOURCE_DIR) + "/channel_receiver.py", kind_,
                                 std::to_string(port_), target_, secret_.empty() ? "-" : secret_, log_},
        port_, Settings{});
    WaitUntil([&] { return server_->Ended() || std::ifstream(ready).good(); }, 20);
    if (server_->Running()) return;
  }
}

std::vector<std::string> ChannelReceiver::Texts() const {
  std::vector<std::string> texts;
  std::istringstream lines(FileText(log_));
  for (std::string line; std::getline(lines, line);) {
    rapidjson::Document json;
    json.Parse(line.c_str());
    if (json.IsObject() && json.HasMember("text") && json["text"].IsString()) texts.push_back(json["text"].GetString());
  }
  return texts;
}

void ChannelReceiver::AnswerBusy(int count) const { std::ofstream(log_ + ".busy") << count; }

void ChannelReceiver::RedirectTo(const std::string& address) const { std::ofstream(log_ + ".redirect") << address; }

size_t ChannelReceiver::RateViolations() const { return Occurrences(FileText(log_ + ".violations"), "\n"); }

void ChannelReceiver::Hold() const { std::ofstream(log_ + ".hold") << 1; }

void ChannelReceiver::Release() const { std::remove((log_ + ".hold").c_str()); }

size_t ChannelReceiver::Held() const { return Occurrences(FileText(log_ + ".held"), "\n"); }
