// The service's settings: defaults, then a settings file ("key = value" lines, # comments),
// then environment variables (TARN_ and the key in capitals: TARN_SMTP_HOST), later ones
// winning. Nothing secret is ever taken from the command line.
#pragma once

#include <string>
#include <vector>

#include "mail/retry_schedule.h"
#include "mail/smtp_client.h"

struct ServiceConfig {
  std::string listen = "127.0.0.1";
  int port = 8080;
  std::string database = "tarn-accounts.db";  // a SQLite file, or a postgresql:// connection string
  int databaseConnections = 0;     // per instance; 0: four
  int mailLeaseSeconds = 120;      // how long an instance's claim on a mail lasts
  int infoCacheSeconds = 5;        // how long the notice and latest version are kept in memory
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
