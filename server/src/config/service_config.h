// The service's settings: defaults, then a settings file ("key = value" lines, # comments),
// then environment variables (TARN_ and the key in capitals: TARN_SMTP_HOST), later ones
// winning. Nothing secret is ever taken from the command line.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "config/mail_settings.h"

struct ServiceConfig {
  std::string listen = "127.0.0.1";
  int port = 8080;
  std::string database = "tarn-accounts.db";  // a SQLite file, or a postgresql:// connection string
  int databaseConnections = 0;     // per instance; 0: four
  int mailLeaseSeconds = 120;      // how long an instance's claim on a mail lasts
  int infoCacheSeconds = 5;        // how long the notice and latest version are kept in memory
  int signedInCacheSeconds = 1;    // how long service information remembers a machine found signed in
  int metricsPort = 0;             // 0: /metrics on `port`, to clients on this machine only
  std::string metricsListen = "127.0.0.1";  // the metrics port's address, when it is set
  int threads = 0;                 // request threads; 0: one per core the process may use
  std::string trustProxy;          // the setting as written
  std::vector<std::string> trustedProxies;  // whose X-Forwarded-For is believed
  int maxConnections = 16384;      // open connections in all
  int maxConnectionsPerAddress = 64;  // open connections per client address
  int mailHourlyLimit = 30;        // reminder mails per account and hour
  SmtpSettings smtp;
  RetrySchedule retry;
  int loginFailuresPerAccount = 5;   // failed sign-ins per account and client address in 15 minutes
  int loginFailuresAccountWide = 30; // failed sign-ins per account in 15 minutes from machines it does not know
  int loginAttemptsPerAddress = 20;  // sign-in attempts per client address in a minute
  int loginHashesAtOnce = 2;         // password checks running at the same time
  int machineIdleDays = 180;         // a machine unseen this long must sign in again
  int mailKeepDays = 30;             // sent and given-up mails are deleted this long after they were queued
  int databaseWaitSeconds = 5;       // a request waits this long for the database in all, then is refused as busy
  // PostgreSQL: idle connections probed after this long (then as often, 3 probes); data
  // unacknowledged this long ends a connection; the server ends a statement running, or
  // waiting for a lock, longer than these (0: never).
  int postgresKeepaliveSeconds = 10;
  int postgresUserTimeoutSeconds = 10;
  int postgresStatementTimeoutSeconds = 5;
  int postgresLockTimeoutSeconds = 5;
  // Chat and webhook channels. Each vendor kind goes to its vendor's host unless one of these
  // points it elsewhere (a company's relay); loopback, private and CGNAT addresses are
  // refused unless allowed.
  bool channelAllowPrivate = false;
  int channelTimeoutSeconds = 10;    // one exchange with a vendor, all in
  std::string channelWecomUrl = "https://qyapi.weixin.qq.com";
  std::string channelDingtalkUrl = "https://oapi.dingtalk.com";
  std::string channelFeishuUrl = "https://open.feishu.cn";
  std::string channelLarkUrl = "https://open.larksuite.com";
  std::string channelSlackUrl = "https://hooks.slack.com";
  std::string timeZone = "Asia/Shanghai";  // the times in reminders
  // The web pages.
  std::string publicUrl;             // where owners reach the pages ("https://accounts.example.com"); links in mails
  std::string signUp = "closed";     // closed, open, or the mail domains whose addresses may sign up
  int signUpDays = 30;               // days of service a new account gets
  std::string downloadsDir;          // installers offered on the home page; none when empty
  int webMailsPerAddress = 10;       // mails the pages send for one client address in 15 minutes
  int webMailsPerRecipient = 3;      // mails the pages send to one address in 15 minutes
};

// The mail domains the sign_up setting opens sign-up to (lower case); empty when it is
// "closed" or "open".
std::vector<std::string> SignUpDomains(const std::string& signUp);

// Applies one setting; false with `error` set for an unknown key or a bad value.
bool ApplySetting(ServiceConfig& config, const std::string& key, const std::string& value, std::string& error);

// Applies the "key = value" lines of a settings file; `name` names the file in `error`.
bool ReadSettings(std::istream& lines, const std::string& name, ServiceConfig& config, std::string& error);

// Reads the file (when `path` is not empty) and then the environment, and checks the
// result as a whole (CheckServiceConfig). A file that holds smtp_password must be readable
// by its owner only.
bool LoadServiceConfig(const std::string& path, ServiceConfig& config, std::string& error);

// The database setting with any password in it replaced by "***", for logs.
std::string DatabaseSettingForLog(const std::string& database);

// Refuses settings that are each valid but unsafe together: an SMTP login over a plain
// connection to a mail server off this machine would send the password in clear. Also
// refuses a metrics port that is the service's own.
bool CheckServiceConfig(const ServiceConfig& config, std::string& error);
