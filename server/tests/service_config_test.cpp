// Reading the service's settings: who may read a file that holds the SMTP password, what
// trust_proxy takes, and the pairings refused as a whole (an SMTP login in clear off the loopback).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "config/service_config.h"
#include "test_folder.h"

TEST(ServiceConfig, RefusesAPasswordFileOthersCanReadAndReadsTrustedProxies) {
  TestFolder folder;
  const struct {
    const char* name;
    std::string content;
    mode_t mode;
    bool loads;
    std::vector<std::string> proxies;
  } cases[] = {
      {"password, owner only", "smtp_password = s3cret\n", 0600, true, {}},
      {"password, group can read", "smtp_password = s3cret\n", 0640, false, {}},
      {"password, everyone can read", "smtp_password = s3cret\n", 0644, false, {}},
      {"no password, everyone can read", "port = 9000\n", 0644, true, {}},
      {"proxy list", "trust_proxy = 10.0.0.5, ::1 192.0.2.1\n", 0600, true, {"10.0.0.5", "::1", "192.0.2.1"}},
      {"old switch on: proxies on this machine", "trust_proxy = 1\n", 0600, true, {"127.0.0.1", "::1"}},
      {"old switch off", "trust_proxy = 0\n", 0600, true, {}},
      {"not an address", "trust_proxy = proxy.example.org\n", 0600, false, {}},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Path() + "/service.conf";
    std::ofstream(path, std::ios::trunc) << c.content;
    chmod(path.c_str(), c.mode);
    ServiceConfig config;
    std::string error;
    EXPECT_EQ(c.loads, LoadServiceConfig(path, config, error)) << c.name << ": " << error;
    if (c.loads) {
      EXPECT_EQ(c.proxies, config.trustedProxies) << c.name;
    } else if (c.content.find("smtp_password") != std::string::npos) {
      EXPECT_NE(std::string::npos, error.find("chmod 600")) << c.name << ": " << error;
    }
  }
}

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
