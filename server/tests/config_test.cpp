// The service's settings taken as a whole: an SMTP login never goes over the network in clear.
#include <gtest/gtest.h>

#include "config/service_config.h"

TEST(ServiceConfig, RefusesAPlainSmtpLoginOffTheLoopback) {
  const struct {
    const char* host;
    const char* security;
    const char* user;
    bool accepted;
  } cases[] = {
      {"mail.example.org", "none", "", true},          {"mail.example.org", "starttls", "me", true},
      {"mail.example.org", "tls", "me", true},         {"mail.example.org", "none", "me", false},
      {"10.0.0.5", "none", "me", false},               {"127.0.0.1", "none", "me", true},
      {"127.8.9.10", "none", "me", true},              {"localhost", "none", "me", true},
      {"::1", "none", "me", true},                     {"127.0.0.1.example.org", "none", "me", false},
  };
  for (const auto& c : cases) {
    ServiceConfig config;
    std::string error;
    config.smtp.host = c.host;
    config.smtp.security = c.security;
    config.smtp.user = c.user;
    EXPECT_EQ(c.accepted, CheckServiceConfig(config, error)) << c.host << " " << c.security << " " << c.user;
    EXPECT_EQ(c.accepted, error.empty()) << error;
  }
}
