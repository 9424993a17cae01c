// tarn-account-service: the account service the program signs in to, asks for service
// information and asks to send reminder mails.
//
//   tarn-account-service [--config FILE]
// Settings come from the file and TARN_* environment variables (see service_config.h).
#include <curl/curl.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include "api/account_api.h"
#include "channels/channel_setup.h"
#include "store/account_store.h"
#include "store/channel_store.h"
#include "store/database.h"
#include "store/database_health.h"
#include "http/http_server.h"
#include "http/request_limits.h"
#include "mail/mail_sender.h"
#include "metrics/service_metrics.h"
#include "store/mail_store.h"
#include "api/password_hash.h"
#include "config/service_config.h"
#include "mail/smtp_client.h"
#include "store/web_session_store.h"
#include "store/web_token_store.h"
#include "web/site_pages.h"

namespace {

// Every connection is a file descriptor: take all the process may have.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

PostgresSettings PostgresSettingsOf(const ServiceConfig& config) {
  PostgresSettings settings;
  settings.keepaliveSeconds = config.postgresKeepaliveSeconds;
  settings.userTimeoutSeconds = config.postgresUserTimeoutSeconds;
  settings.statementTimeoutSeconds = config.postgresStatementTimeoutSeconds;
  settings.lockTimeoutSeconds = config.postgresLockTimeoutSeconds;
  settings.answerWait = std::chrono::seconds(config.databaseWaitSeconds);
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  std::string configPath;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--config") == 0 && i + 1 < argc) {
      configPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--config FILE]\n", argv[0]);
      return 2;
    }
  }
  ServiceConfig config;
  std::string error;
  if (!LoadServiceConfig(configPath, config, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  RaiseDescriptorLimit();
  UseServiceTimeZone(config);
  if (!InitPasswordHashing() || curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    std::fprintf(stderr, "cannot initialise libsodium or libcurl\n");
    return 1;
  }

  // Termination signals are taken by a thread of their own, which stops the server.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  try {
    const PostgresSettings postgres = PostgresSettingsOf(config);
    Database db(config.database, config.databaseConnections, std::chrono::seconds(config.databaseWaitSeconds),
                postgres);
    DatabaseHealth health(config.database, postgres);
    AccountStore accounts(db);
    MailStore mails(db);
    ServiceMetrics metrics;
    const auto clock = [] { return static_cast<int64_t>(std::time(nullptr)); };
    MailSender sender(mails, config.retry, [&config](const std::string& recipient, const std::string& message) {
      return SendMail(config.smtp, recipient, message);
    }, clock, int64_t{config.mailKeepDays} * 86400, config.mailLeaseSeconds, &metrics);
    sender.Start();
    ChannelStore channels(db);
    ChannelSender channelSender(
        channels,
        ChannelSenderOptions{config.retry, config.mailLeaseSeconds, int64_t{config.mailKeepDays} * 86400,
                             EndpointsFrom(config), config.smtp.sender, [&sender] { sender.Wake(); }},
        PosterFrom(config),
        [] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch()).count();
        },
        &metrics.Channels());
    channelSender.Start();
    AccountApi api(db, accounts, mails, config, clock, [&sender, &channelSender] {
      sender.Wake();
      channelSender.Wake();
    }, &metrics, &channels);

    // What /healthz and /metrics ask the database.
    DatabaseProbes probes{[&health] { return health.Healthy(); },
                          [&mails] { return mails.QueueFacts(static_cast<int64_t>(std::time(nullptr))); }};
    // The web pages need public_url for the links they mail; without it only the program's
    // requests and the operator's pages are served, as before.
    WebSessionStore sessions(db);
    WebTokenStore tokens(db);
    std::unique_ptr<SitePages> pages;
    if (!config.publicUrl.empty()) {
      pages = std::make_unique<SitePages>(
          PageServices{config, db, api, accounts, mails, sessions, tokens, clock, [&sender] { sender.Wake(); },
                       channels, EndpointsFrom(config), PosterFrom(config)});
    }
    HttpServer server(api, config, metrics, std::move(probes), static_cast<int>(db.PoolSize()),
                      pages ? pages->Routes() : std::vector<Route>{});
    if (!server.Listen(error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    // A stop ends the mail sender between two mails while the server lets its requests finish.
    // Whatever the database does, every wait for it ends a little before the requests' grace
    // does, so that a request still waiting is answered "busy" within it and the process
    // ends in time.
    std::thread stopper([&server, &sender, &channelSender, &db, &health, signals] {
      int received = 0;
      sigwait(&signals, &received);
      db.CutWaitsAt(std::chrono::steady_clock::now() + kStopGrace - std::chrono::milliseconds(500));
      health.Stop();
      sender.Stop();
      channelSender.Stop();
      server.Stop();
    });
    std::fprintf(stderr, "listening on %s:%d (%d request threads, at most %zu connections), database %s, "
                 "mail via %s:%d\n", config.listen.c_str(), config.port, server.RequestThreads(),
                 server.ConnectionCap(), DatabaseSettingForLog(config.database).c_str(),
                 config.smtp.host.c_str(), config.smtp.port);
    if (pages) std::fprintf(stderr, "web pages at %s (sign-up %s)\n", config.publicUrl.c_str(), config.signUp.c_str());
    if (config.metricsPort != 0) {
      std::fprintf(stderr, "metrics on %s:%d\n", config.metricsListen.c_str(), config.metricsPort);
    }
    server.Run();
    kill(getpid(), SIGTERM);  // ends the signal thread if the server ended by itself
    stopper.join();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  curl_global_cleanup();
  return 0;
}
