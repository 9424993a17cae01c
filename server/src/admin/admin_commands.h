// The operator's commands over the service's database.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "store/account_store.h"
#include "store/mail_store.h"
#include "store/web_token_store.h"

struct AdminContext {
  AccountStore& accounts;
  MailStore& mails;
  std::ostream& out;
  std::ostream& err;
  int64_t now;
  // Reads a new password (from the terminal without echo, or one line of standard input).
  std::string (*readPassword)(const char* prompt);
  int64_t machineIdleSeconds = 180 * 86400;  // machines unseen this long are shown as expired
  // Called with the account's address after `passwd` has set a new password (the service
  // forgets the guesses counted against the account).
  std::function<void(const std::string& email)> passwordChanged;
  // For invitations: the links' store, the pages' address and the mails' sender.
  WebTokenStore* tokens = nullptr;
  std::string publicUrl{};
  std::string sender{};
};

// Runs one command with its arguments; the process exit code.
int RunAdminCommand(AdminContext& context, const std::vector<std::string>& args);

// "2027-12-31" (the end of that day, UTC), "+30" (days from now, at most 36500) or Unix
// seconds, up to the end of the year 9999; false for anything else.
bool ParseServiceEnd(const std::string& text, int64_t now, int64_t& out);
