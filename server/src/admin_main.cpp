// tarn-account-admin: the operator's tool for the account service's database.
//
//   tarn-account-admin [--config FILE] COMMAND [ARGS]
// The database path comes from the same settings as the service's. Passwords are read
// from the terminal without echo, or as one line of standard input; never from arguments.
#include <termios.h>
#include <unistd.h>

#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "api/account_api.h"
#include "store/account_store.h"
#include "admin/admin_commands.h"
#include "admin/channel_commands.h"
#include "channels/channel_setup.h"
#include "admin/copy_installation.h"
#include "store/channel_store.h"
#include "store/database.h"
#include "store/mail_store.h"
#include "api/password_hash.h"
#include "config/service_config.h"

namespace {

std::string ReadLine(std::FILE* in) {
  std::string line;
  line.reserve(256);  // no reallocation leaves a copy of the password behind
  for (int ch; (ch = std::fgetc(in)) != EOF && ch != '\n';) {
    if (line.size() < 255) line.push_back(static_cast<char>(ch));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string ReadPassword(const char* prompt) {
  if (!isatty(STDIN_FILENO)) return ReadLine(stdin);
  termios saved{};
  tcgetattr(STDIN_FILENO, &saved);
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  std::string entries[2];
  for (int i = 0; i < 2; ++i) {
    std::fputs(i == 0 ? prompt : "again: ", stderr);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    entries[i] = ReadLine(stdin);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
  }
  const bool same = entries[0] == entries[1];
  sodium_memzero(entries[1].data(), entries[1].size());
  if (!same) {
    sodium_memzero(entries[0].data(), entries[0].size());
    std::fputs("the two entries differ\n", stderr);
    return std::string();
  }
  return std::move(entries[0]);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string configPath;
  if (args.size() >= 2 && args[0] == "--config") {
    configPath = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  ServiceConfig config;
  std::string error;
  if (!LoadServiceConfig(configPath, config, error)) {
    std::cerr << error << "\n";
    return 2;
  }
  UseServiceTimeZone(config);
  if (!InitPasswordHashing()) {
    std::cerr << "cannot initialise libsodium\n";
    return 1;
  }
  // Opens databases of its own: the source must not be made where there is none.
  if (args.size() == 2 && args[0] == "copy-to") return CopyInstallation(config.database, args[1], std::cout, std::cerr);
  try {
    Database db(config.database, 1);
    AccountStore accounts(db);
    MailStore mails(db);
    WebTokenStore tokens(db);
    ChannelStore channels(db);
    ChannelCommandContext channelContext{accounts, channels, std::cout, std::cerr,
                                         static_cast<int64_t>(std::time(nullptr)) * 1000,
                                         &ReadPassword, EndpointsFrom(config), PosterFrom(config)};
    if (const auto code = RunChannelCommand(channelContext, args)) return *code;
    AdminContext context{accounts, mails, std::cout, std::cerr, static_cast<int64_t>(std::time(nullptr)),
                         &ReadPassword, int64_t{config.machineIdleDays} * 86400,
                         [&db](const std::string& email) { AccountApi::ClearAccountWideFailures(db, email); },
                         &tokens, config.publicUrl, config.smtp.sender};
    return RunAdminCommand(context, args);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
