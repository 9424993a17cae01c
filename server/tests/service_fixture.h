// The real service binary and a real SMTP sink as a test drives them: a fresh folder for
// the database, the service's log and the maildir, two free loopback ports, the settings
// both the service and the operator tool get, and the program's requests. Test programs
// that use it define SERVICE_BINARY and ADMIN_BINARY.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "text/base64_text.h"
#include "program_client.h"
#include "raw_http.h"
#include "service_process.h"
#include "smtp_sink.h"
#include "test_database.h"

class ServiceFixture : public ::testing::Test {
 protected:
  // "密码ab" in UTF-8, whose Base64 holds a plus and padding: "5a+G56CBYWI=".
  static inline const std::string kPassword = "\xE5\xAF\x86\xE7\xA0\x81" "ab";

  ServiceFixture()
      : settings_{{"TARN_PORT", std::to_string(port_)},
                  {"TARN_DATABASE", TestDatabase(folder_)},
                  {"TARN_SMTP_PORT", std::to_string(smtpPort_)},
                  {"TARN_SMTP_SENDER", "monitor@service.test"},
                  {"TARN_MAIL_RETRY_FIRST_SECONDS", "1"},
                  // Claims of a killed service end soon; changed notices and sign-outs are seen at once.
                  {"TARN_SMTP_TIMEOUT_SECONDS", "5"},
                  {"TARN_MAIL_LEASE_SECONDS", "6"},
                  {"TARN_INFO_CACHE_SECONDS", "0"},
                  {"TARN_SIGNED_IN_CACHE_SECONDS", "0"}} {}

  // Sets a setting of the service and the operator tool, before they start.
  void Set(const std::string& name, const std::string& value) {
    const auto known = std::find_if(settings_.begin(), settings_.end(), [&](const auto& s) { return s.first == name; });
    if (known != settings_.end()) {
      known->second = value;
    } else {
      settings_.emplace_back(name, value);
    }
  }

  // The SQLite file, when the test runs on SQLite.
  std::string DatabasePath() const { return folder_.Path() + "/accounts.db"; }
  std::string LogPath() const { return folder_.Path() + "/service.log"; }

  void StartService() {
    service_ = std::make_unique<ServiceProcess>(std::vector<std::string>{SERVICE_BINARY}, port_, settings_, LogPath());
    ASSERT_TRUE(service_->Running());
  }
  void StartSink() {
    sink_ = std::make_unique<SmtpSink>(smtpPort_, folder_.Path() + "/mail");
    ASSERT_TRUE(sink_->Running());
  }

  std::pair<int, std::string> Admin(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), ADMIN_BINARY);
    return RunTool(args, settings_, input);
  }
  void AddAccount(const std::string& email) { ASSERT_EQ(0, Admin({"add", email}, kPassword + "\n").first); }
  size_t MailsInState(const std::string& state) {
    const std::string listing = Admin({"mails", state}).second;
    return static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n'));
  }

  // Posts `body` as the program posts `action`, from the loopback address `from`.
  ServiceReply PostAction(const std::string& action, const std::string& body, const std::string& from = "127.0.0.1") {
    return ReadReply(RawExchange(port_, ProgramRequest(port_, action, body), from));
  }
  // The program's three requests with the form bodies it writes.
  static std::string InfoBody(const std::string& email, const std::string& machine) {
    return "username=" + email + "&id=" + machine + "&softtype=2&ver=1.1.0.2";
  }
  static std::string LoginBody(const std::string& email, const std::string& password, const std::string& machine) {
    return "username=" + email + "&pwd=" + Base64(password) + "&id=" + machine + "&softtype=2&ver=1.1.0.2";
  }
  static std::string ReminderBody(const std::string& email, int tpl, int code, const std::string& url,
                                  const std::string& machine) {
    return InfoBody(email, machine) + "&tpl=" + std::to_string(tpl) + "&code=" + std::to_string(code) + "&url=" + url;
  }
  ServiceReply Login(const std::string& email, const std::string& password, const std::string& machine = "MID",
                     const std::string& from = "127.0.0.1") {
    return PostAction("login", LoginBody(email, password, machine), from);
  }
  ServiceReply Info(const std::string& email, const std::string& machine = "MID") {
    return PostAction("getInfo", InfoBody(email, machine));
  }
  ServiceReply Remind(const std::string& email, int tpl, int code, const std::string& url,
                      const std::string& machine = "MID") {
    return PostAction("sendMsg", ReminderBody(email, tpl, code, url, machine));
  }

  TestFolder folder_;
  const int port_ = FreePort();
  const int smtpPort_ = FreePort();
  Settings settings_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<SmtpSink> sink_;
};
