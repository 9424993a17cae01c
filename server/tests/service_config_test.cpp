// Reading the service's settings file: who may read one that holds the SMTP password, and
// what trust_proxy takes.
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
