#include "config/service_config.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <sys/stat.h>

#include "config/ip_address.h"

namespace {

bool ReadNumber(const std::string& text, long long low, long long high, long long& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A mail server on this machine, named by a loopback address or "localhost" (no name is
// looked up: what a name resolves to can change).
bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1" || host == "[::1]") return true;
  unsigned char address[4] = {};
  return inet_pton(AF_INET, host.c_str(), address) == 1 && address[0] == 127;
}

// Every key with what it sets: a text, or a number within bounds.
struct Setting {
  const char* key;
  std::string ServiceConfig::*text;
  std::string SmtpSettings::*smtpText;
  long long low, high;
  void (*setNumber)(ServiceConfig&, long long);
};

const Setting kSettings[] = {
    {"listen", &ServiceConfig::listen, nullptr, 0, 0, nullptr},
    {"database", &ServiceConfig::database, nullptr, 0, 0, nullptr},
    {"database_connections", nullptr, nullptr, 0, 1000,
     [](ServiceConfig& c, long long v) { c.databaseConnections = static_cast<int>(v); }},
    {"mail_lease_seconds", nullptr, nullptr, 2, 86400,
     [](ServiceConfig& c, long long v) { c.mailLeaseSeconds = static_cast<int>(v); }},
    {"info_cache_seconds", nullptr, nullptr, 0, 3600,
     [](ServiceConfig& c, long long v) { c.infoCacheSeconds = static_cast<int>(v); }},
    {"signed_in_cache_seconds", nullptr, nullptr, 0, 60,
     [](ServiceConfig& c, long long v) { c.signedInCacheSeconds = static_cast<int>(v); }},
    {"smtp_host", nullptr, &SmtpSettings::host, 0, 0, nullptr},
    {"smtp_security", nullptr, &SmtpSettings::security, 0, 0, nullptr},
    {"smtp_user", nullptr, &SmtpSettings::user, 0, 0, nullptr},
    {"smtp_password", nullptr, &SmtpSettings::password, 0, 0, nullptr},
    {"smtp_sender", nullptr, &SmtpSettings::sender, 0, 0, nullptr},
    {"port", nullptr, nullptr, 1, 65535, [](ServiceConfig& c, long long v) { c.port = static_cast<int>(v); }},
    {"metrics_listen", &ServiceConfig::metricsListen, nullptr, 0, 0, nullptr},
    {"metrics_port", nullptr, nullptr, 0, 65535,
     [](ServiceConfig& c, long long v) { c.metricsPort = static_cast<int>(v); }},
    {"threads", nullptr, nullptr, 0, 256, [](ServiceConfig& c, long long v) { c.threads = static_cast<int>(v); }},
    {"trust_proxy", &ServiceConfig::trustProxy, nullptr, 0, 0, nullptr},
    {"max_connections", nullptr, nullptr, 1, 1000000,
     [](ServiceConfig& c, long long v) { c.maxConnections = static_cast<int>(v); }},
    {"max_connections_per_address", nullptr, nullptr, 1, 1000000,
     [](ServiceConfig& c, long long v) { c.maxConnectionsPerAddress = static_cast<int>(v); }},
    {"smtp_port", nullptr, nullptr, 1, 65535,
     [](ServiceConfig& c, long long v) { c.smtp.port = static_cast<int>(v); }},
    {"smtp_timeout_seconds", nullptr, nullptr, 1, 600,
     [](ServiceConfig& c, long long v) { c.smtp.timeoutSeconds = static_cast<long>(v); }},
    {"mail_hourly_limit", nullptr, nullptr, 1, 100000,
     [](ServiceConfig& c, long long v) { c.mailHourlyLimit = static_cast<int>(v); }},
    {"mail_retry_first_seconds", nullptr, nullptr, 1, 86400,
     [](ServiceConfig& c, long long v) { c.retry.firstDelaySeconds = v; }},
    {"mail_retry_max_seconds", nullptr, nullptr, 1, 86400,
     [](ServiceConfig& c, long long v) { c.retry.maxDelaySeconds = v; }},
    {"mail_max_attempts", nullptr, nullptr, 1, 1000,
     [](ServiceConfig& c, long long v) { c.retry.maxAttempts = static_cast<int>(v); }},
    {"login_failures_per_account", nullptr, nullptr, 1, 100000,
     [](ServiceConfig& c, long long v) { c.loginFailuresPerAccount = static_cast<int>(v); }},
    {"login_failures_account_wide", nullptr, nullptr, 1, 1000000,
     [](ServiceConfig& c, long long v) { c.loginFailuresAccountWide = static_cast<int>(v); }},
    {"machine_idle_days", nullptr, nullptr, 1, 36500,
     [](ServiceConfig& c, long long v) { c.machineIdleDays = static_cast<int>(v); }},
    {"mail_keep_days", nullptr, nullptr, 1, 36500,
     [](ServiceConfig& c, long long v) { c.mailKeepDays = static_cast<int>(v); }},
    {"login_hashes_at_once", nullptr, nullptr, 1, 1024,
     [](ServiceConfig& c, long long v) { c.loginHashesAtOnce = static_cast<int>(v); }},
    {"public_url", &ServiceConfig::publicUrl, nullptr, 0, 0, nullptr},
    {"sign_up", &ServiceConfig::signUp, nullptr, 0, 0, nullptr},
    {"sign_up_days", nullptr, nullptr, 1, 36500,
     [](ServiceConfig& c, long long v) { c.signUpDays = static_cast<int>(v); }},
    {"downloads_dir", &ServiceConfig::downloadsDir, nullptr, 0, 0, nullptr},
    {"web_mails_per_address", nullptr, nullptr, 1, 100000,
     [](ServiceConfig& c, long long v) { c.webMailsPerAddress = static_cast<int>(v); }},
    {"web_mails_per_recipient", nullptr, nullptr, 1, 100000,
     [](ServiceConfig& c, long long v) { c.webMailsPerRecipient = static_cast<int>(v); }},
    {"login_attempts_per_address", nullptr, nullptr, 1, 1000000,
     [](ServiceConfig& c, long long v) { c.loginAttemptsPerAddress = static_cast<int>(v); }},
    {"database_wait_seconds", nullptr, nullptr, 1, 600,
     [](ServiceConfig& c, long long v) { c.databaseWaitSeconds = static_cast<int>(v); }},
    {"postgres_keepalive_seconds", nullptr, nullptr, 1, 86400,
     [](ServiceConfig& c, long long v) { c.postgresKeepaliveSeconds = static_cast<int>(v); }},
    {"postgres_user_timeout_seconds", nullptr, nullptr, 1, 86400,
     [](ServiceConfig& c, long long v) { c.postgresUserTimeoutSeconds = static_cast<int>(v); }},
    {"postgres_statement_timeout_seconds", nullptr, nullptr, 0, 86400,
     [](ServiceConfig& c, long long v) { c.postgresStatementTimeoutSeconds = static_cast<int>(v); }},
    {"postgres_lock_timeout_seconds", nullptr, nullptr, 0, 86400,
     [](ServiceConfig& c, long long v) { c.postgresLockTimeoutSeconds = static_cast<int>(v); }},
    {"channel_allow_private", nullptr, nullptr, 0, 1,
     [](ServiceConfig& c, long long v) { c.channelAllowPrivate = v != 0; }},
    {"channel_timeout_seconds", nullptr, nullptr, 1, 600,
     [](ServiceConfig& c, long long v) { c.channelTimeoutSeconds = static_cast<int>(v); }},
    {"channel_wecom_url", &ServiceConfig::channelWecomUrl, nullptr, 0, 0, nullptr},
    {"channel_dingtalk_url", &ServiceConfig::channelDingtalkUrl, nullptr, 0, 0, nullptr},
    {"channel_feishu_url", &ServiceConfig::channelFeishuUrl, nullptr, 0, 0, nullptr},
    {"channel_lark_url", &ServiceConfig::channelLarkUrl, nullptr, 0, 0, nullptr},
    {"channel_slack_url", &ServiceConfig::channelSlackUrl, nullptr, 0, 0, nullptr},
    {"time_zone", &ServiceConfig::timeZone, nullptr, 0, 0, nullptr},
};

// A public address the links in mails can start with: http or https, a host, perhaps a
// port and a path, nothing a mail or a page could mistake for more (no query, no spaces).
bool IsPublicUrl(const std::string& url) {
  const size_t scheme = url.rfind("https://", 0) == 0 ? 8 : url.rfind("http://", 0) == 0 ? 7 : 0;
  if (scheme == 0 || url.size() == scheme || url[scheme] == '/') return false;
  return std::all_of(url.begin(), url.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != '?' && c != '#' && c != '"' && c != '<' && c != '>' && c != '\\';
  });
}

bool IsDomainName(const std::string& name) {
  return !name.empty() && name.find('.') != std::string::npos && name.front() != '.' && name.back() != '.' &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
         });
}

}  // namespace

std::vector<std::string> SignUpDomains(const std::string& signUp) {
  std::vector<std::string> domains;
  if (signUp == "closed" || signUp == "open") return domains;
  std::string name;
  for (const char c : signUp + ",") {
    if (c == ',' || c == ' ') {
      if (!name.empty()) domains.push_back(name);
      name.clear();
    } else {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return domains;
}

bool ApplySetting(ServiceConfig& config, const std::string& key, const std::string& value, std::string& error) {
  for (const Setting& s : kSettings) {
    if (key != s.key) continue;
    if (s.text) {
      config.*s.text = value;
    } else if (s.smtpText) {
      config.smtp.*s.smtpText = value;
    } else {
      long long number = 0;
      if (!ReadNumber(value, s.low, s.high, number)) {
        error = key + " must be a number from " + std::to_string(s.low) + " to " + std::to_string(s.high);
        return false;
      }
      s.setNumber(config, number);
    }
    if (key == "smtp_security" && value != "none" && value != "starttls" && value != "tls") {
      error = "smtp_security must be none, starttls or tls";
      return false;
    }
    if (key == "public_url") {
      if (!value.empty() && !IsPublicUrl(value)) {
        error = "public_url must be an http:// or https:// address without query";
        return false;
      }
      while (!config.publicUrl.empty() && config.publicUrl.back() == '/') config.publicUrl.pop_back();
    }
    if (key == "sign_up" && value != "closed" && value != "open") {
      const auto domains = SignUpDomains(value);
      if (domains.empty() || !std::all_of(domains.begin(), domains.end(), IsDomainName)) {
        error = "sign_up must be closed, open, or mail domains separated by commas";
        return false;
      }
    }
    if (key.starts_with("channel_") && key.ends_with("_url") &&
        (!(value.starts_with("http://") || value.starts_with("https://")) || value.ends_with("/"))) {
      error = key + " must be an http or https address without a closing /";
      return false;
    }
    if (key == "time_zone" && (value.empty() || value.find("..") != std::string::npos)) {
      error = "time_zone must name a zone, such as Asia/Shanghai";
      return false;
    }
    if (key == "metrics_listen" && !CanonicalIpAddress(value)) {
      error = "metrics_listen must be an IP address";
      return false;
    }
    if (key == "trust_proxy") {
      auto proxies = ReadTrustedProxies(value);
      if (!proxies) {
        error = "trust_proxy must list the IP addresses of the trusted proxies";
        return false;
      }
      config.trustedProxies = std::move(*proxies);
    }
    return true;
  }
  error = "unknown setting " + key;
  return false;
}

bool ReadSettings(std::istream& lines, const std::string& name, ServiceConfig& config, std::string& error) {
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos ||
        !ApplySetting(config, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), error)) {
      if (equals == std::string::npos) error = "expected key = value";
      error = name + ":" + std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

bool LoadServiceConfig(const std::string& path, ServiceConfig& config, std::string& error) {
  if (!path.empty()) {
    std::ifstream file(path);
    if (!file) {
      error = "cannot read " + path;
      return false;
    }
    if (!ReadSettings(file, path, config, error)) return false;
    // Passwords must not be there for every user of the machine to read.
    struct stat status {};
    const bool secret = !config.smtp.password.empty() || DatabaseSettingForLog(config.database) != config.database;
    if (secret && stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH))) {
      error = path + " holds a password (smtp_password or in database) and other users can read it: make it " +
              "readable by the service's user only (chmod 600 " + path + ")";
      return false;
    }
  }
  for (const Setting& s : kSettings) {
    std::string name = std::string("TARN_") + s.key;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (const char* value = std::getenv(name.c_str()); value && !ApplySetting(config, s.key, value, error)) {
      error = name + ": " + error;
      return false;
    }
  }
  return CheckServiceConfig(config, error);
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// True when a connection address's parameter name, with its percent escapes decoded and
// in any case, names a password.
bool IsPasswordParameter(std::string_view name) {
  std::string decoded;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%' && i + 2 < name.size() && HexValue(name[i + 1]) >= 0 && HexValue(name[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(name[i + 1]) * 16 + HexValue(name[i + 2]));
      i += 2;
    } else {
      decoded += name[i];
    }
  }
  for (char& c : decoded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return decoded == "password" || decoded == "sslpassword";
}

}  // namespace

std::string DatabaseSettingForLog(const std::string& database) {
  const size_t scheme = database.find("://");
  if (scheme == std::string::npos || !database.starts_with("postgres")) return database;
  std::string shown = database;
  // A password before the host: "user:password@", where no '/' comes before the '@'.
  const size_t hostStart = scheme + 3;
  const size_t at = shown.find('@', hostStart);
  const size_t colon = shown.find(':', hostStart);
  if (at != std::string::npos && colon < at && shown.find('/', hostStart) > at) {
    shown.replace(colon + 1, at - colon - 1, "***");
  }
  // Or among the parameters: "?password=..." or "&sslpassword=...", however the name is
  // percent-encoded ("%70assword" is "password" to the PostgreSQL client too).
  for (size_t key = shown.find('?'); key != std::string::npos; key = shown.find('&', key + 1)) {
    const size_t end = std::min(shown.find('&', key + 1), shown.size());
    const size_t equals = shown.find('=', key + 1);
    if (equals >= end || !IsPasswordParameter(std::string_view(shown).substr(key + 1, equals - key - 1))) continue;
    shown.replace(equals + 1, end - equals - 1, "***");
  }
  return shown;
}

bool CheckServiceConfig(const ServiceConfig& config, std::string& error) {
  // A claim on a mail must outlast the slowest exchange with the mail server, or another
  // instance could take the mail over while it is still being sent.
  if (config.mailLeaseSeconds <= config.smtp.timeoutSeconds) {
    error = "mail_lease_seconds (" + std::to_string(config.mailLeaseSeconds) + ") must be longer than " +
            "smtp_timeout_seconds (" + std::to_string(config.smtp.timeoutSeconds) + ")";
    return false;
  }
  if (config.metricsPort == config.port) {
    error = "metrics_port must differ from port (0 serves the metrics on port, to this machine only)";
    return false;
  }
  if (config.smtp.user.empty() || config.smtp.security != "none" || IsLoopbackHost(config.smtp.host)) return true;
  error = "smtp_user is set but smtp_security is none: the SMTP password would cross the network in clear to " +
          config.smtp.host + "; set smtp_security to starttls or tls (none with a login is allowed only for a mail "
          "server on this machine's loopback)";
  return false;
}
