// Reading the service's settings file: who may read one that holds the SMTP password, what
// trust_proxy and metrics_listen take, and the pairings refused as a whole (an SMTP login in
// clear off the loopback, a metrics port that is the service's own), and database passwords kept
// out of logs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "config/service_config.h"
#include "test_folder.h"

namespace {

std::string Smtp(const char* host, const char* security, const char* user) {
  return std::string("smtp_host = ") + host + "\nsmtp_security = " + security + "\nsmtp_user = " + user + "\n";
}

}  // namespace

TEST(ServiceConfig, RefusesUnsafeFilesAndReadsTrustedProxies) {
  TestFolder folder;
  const std::string path = folder.Path() + "/service.conf";
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
      {"database password, everyone can read", "database = postgresql://tarn:s3cret@db/tarn\n", 0644, false, {}},
      {"database password parameter, everyone can read", "database = postgresql://db/tarn?password=s3cret\n", 0644,
       false, {}},
      {"database without a password, everyone can read", "database = postgresql://tarn@db/tarn\n", 0644, true, {}},
      {"proxy list", "trust_proxy = 10.0.0.5, ::1 192.0.2.1\n", 0600, true, {"10.0.0.5", "::1", "192.0.2.1"}},
      {"old switch on: proxies on this machine", "trust_proxy = 1\n", 0600, true, {"127.0.0.1", "::1"}},
      {"old switch off", "trust_proxy = 0\n", 0600, true, {}},
      {"not an address", "trust_proxy = proxy.example.org\n", 0600, false, {}},
      {"metrics port of its own", "port = 9000\nmetrics_port = 9100\nmetrics_listen = ::\n", 0600, true, {}},
      {"metrics port is the service's", "port = 9000\nmetrics_port = 9000\n", 0600, false, {}},
      {"metrics address not an address", "metrics_listen = metrics.example.org\n", 0600, false, {}},
      {"no wait for the database", "database_wait_seconds = 0\n", 0600, false, {}},
      {"PostgreSQL without server time-outs", "postgres_statement_timeout_seconds = 0\npostgres_lock_timeout_seconds = 0\n",
       0600, true, {}},
      {"PostgreSQL keepalive of 0", "postgres_keepalive_seconds = 0\n", 0600, false, {}},
      // An SMTP login in clear only to a mail server on this machine's loopback.
      {"no login", Smtp("mail.example.org", "none", ""), 0600, true, {}},
      {"starttls", Smtp("mail.example.org", "starttls", "me"), 0600, true, {}},
      {"tls", Smtp("mail.example.org", "tls", "me"), 0600, true, {}},
      {"clear to a host name", Smtp("mail.example.org", "none", "me"), 0600, false, {}},
      {"clear to another address", Smtp("10.0.0.5", "none", "me"), 0600, false, {}},
      {"clear to 127.0.0.1", Smtp("127.0.0.1", "none", "me"), 0600, true, {}},
      {"clear to 127.8.9.10", Smtp("127.8.9.10", "none", "me"), 0600, true, {}},
      {"clear to localhost", Smtp("localhost", "none", "me"), 0600, true, {}},
      {"clear to ::1", Smtp("::1", "none", "me"), 0600, true, {}},
      {"clear to a name that starts like loopback", Smtp("127.0.0.1.example.org", "none", "me"), 0600, false, {}},
  };
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::trunc) << c.content;
    chmod(path.c_str(), c.mode);
    ServiceConfig config;
    std::string error;
    EXPECT_EQ(c.loads, LoadServiceConfig(path, config, error)) << c.name << ": " << error;
    EXPECT_EQ(c.loads, error.empty()) << c.name << ": " << error;
    EXPECT_EQ(c.proxies, config.trustedProxies) << c.name;
    EXPECT_EQ(!c.loads && c.mode != 0600, error.find("chmod 600") != std::string::npos) << c.name << ": " << error;
  }
}

TEST(ServiceConfig, DatabaseSettingForLogHidesEveryPassword) {
  const struct {
    const char* setting;
    const char* shown;
  } cases[] = {
      {"/var/lib/tarn/accounts.db", "/var/lib/tarn/accounts.db"},
      {"postgresql://tarn@db:5432/tarn", "postgresql://tarn@db:5432/tarn"},
      {"postgresql://tarn:s3cret@db:5432/tarn", "postgresql://tarn:***@db:5432/tarn"},
      {"postgresql://db/tarn?password=s3cret", "postgresql://db/tarn?password=***"},
      {"postgresql://db/tarn?user=tarn&password=s3cret&sslmode=require",
       "postgresql://db/tarn?user=tarn&password=***&sslmode=require"},
      {"postgresql://t:a@db/tarn?password=b&password=c", "postgresql://t:***@db/tarn?password=***&password=***"},
      // Names the PostgreSQL client reads as a password: percent-encoded, or the client key's.
      {"postgresql://db/tarn?%70assword=s3cret&%50%41SSWORD=x", "postgresql://db/tarn?%70assword=***&%50%41SSWORD=***"},
      {"postgresql://db/tarn?sslmode=require&sslpassword=k3y", "postgresql://db/tarn?sslmode=require&sslpassword=***"},
      {"postgresql://db/tarn?passwordx=1&%7=2&%=3&user=password",
       "postgresql://db/tarn?passwordx=1&%7=2&%=3&user=password"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, DatabaseSettingForLog(c.setting)) << c.setting;
}
