// The real service binary and a real SMTP sink as a test drives them: a fresh folder for
// the database, the service's log and the maildir, two free loopback ports, and the
// settings both the service and the operator tool get. Test programs that use it define
// SERVICE_BINARY and ADMIN_BINARY.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service_process.h"
#include "smtp_sink.h"
#include "test_folder.h"

class ServiceFixture : public ::testing::Test {
 protected:
  ServiceFixture()
      : settings_{{"TARN_DATABASE", DatabasePath()},
                  {"TARN_SMTP_PORT", std::to_string(smtpPort_)},
                  {"TARN_SMTP_SENDER", "monitor@service.test"},
                  {"TARN_MAIL_RETRY_FIRST_SECONDS", "1"}} {}

  std::string DatabasePath() const { return folder_.Path() + "/accounts.db"; }
  std::string LogPath() const { return folder_.Path() + "/service.log"; }

  void StartService() {
    service_ = std::make_unique<ServiceProcess>(SERVICE_BINARY, port_, settings_, LogPath());
    ASSERT_TRUE(service_->Running());
  }
  // With a hold file, the sink accepts each mail only when that file does not exist.
  void StartSink(const std::string& holdFile = "") {
    sink_ = std::make_unique<SmtpSink>(smtpPort_, folder_.Path() + "/mail", holdFile);
    ASSERT_TRUE(sink_->Running());
  }

  std::pair<int, std::string> Admin(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), ADMIN_BINARY);
    return RunTool(args, settings_, input);
  }
  size_t MailsInState(const std::string& state) {
    const std::string listing = Admin({"mails", state}).second;
    return static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n'));
  }

  TestFolder folder_;
  const int port_ = FreePort();
  const int smtpPort_ = FreePort();
  Settings settings_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<SmtpSink> sink_;
};
