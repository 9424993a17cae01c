// Accounts, the machines that signed in to them, notices and the latest program version,
// kept in the service's SQLite file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

struct Account {
  int64_t id = 0;
  std::string email;
  std::string passwordHash;
  bool enabled = true;
  int64_t serviceStart = 0;  // Unix seconds
  int64_t serviceEnd = 0;    // Unix seconds
};

struct Notice {
  int64_t id = 0;
  std::string text;
  int64_t posted = 0;
};

class AccountStore {
 public:
  explicit AccountStore(Database& db);

  std::optional<Account> Find(const std::string& email);
  std::vector<Account> List();
  // False when the address is taken.
  bool Add(const std::string& email, const std::string& passwordHash, int64_t serviceStart, int64_t serviceEnd);
  // Each is false when no account has that address.
  bool SetEnabled(const std::string& email, bool enabled);
  bool SetServiceEnd(const std::string& email, int64_t serviceEnd);
  bool SetPassword(const std::string& email, const std::string& passwordHash);

  void RecordMachine(int64_t accountId, const std::string& machineId, int64_t now);
  bool HasMachine(int64_t accountId, const std::string& machineId);

  int64_t PostNotice(const std::string& text, int64_t now);
  std::optional<Notice> NewestNotice();

  void SetLatestVersion(const std::string& version);
  std::string LatestVersion();

 private:
  std::optional<Account> FindLocked(const std::string& email);

  Database& db_;
  Statement find_;
  Statement machineSeen_;
  Statement hasMachine_;
  Statement newestNotice_;
  Statement latestVersion_;
};
