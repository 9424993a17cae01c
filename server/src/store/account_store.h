// Accounts, the machines that signed in to them, notices and the latest program version,
// kept in the service's database.
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

// A machine that has signed in to an account, as the operator sees it.
struct Machine {
  std::string id;  // the program's machine identifier
  int64_t firstSeen = 0;
  int64_t lastSeen = 0;
  std::string version;  // of the program, as it last said at sign-in
};

// An account and when one of its machines was last seen, as one lookup finds them: no
// account when none has the address, no sighting when that machine is not signed in.
struct MachineRecord {
  std::optional<Account> account;
  std::optional<int64_t> lastSeen;
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
  std::optional<Account> FindById(int64_t id);
  std::vector<Account> List();
  // False when the address is taken.
  bool Add(const std::string& email, const std::string& passwordHash, int64_t serviceStart, int64_t serviceEnd);
  // Each is false, or nothing, when no account has that address. A new password and
  // disabling both sign every machine of the account out: the count is how many. A machine
  // signed out is still known to the account (KnownMachineLastSeen).
  std::optional<int> SetEnabled(const std::string& email, bool enabled);
  bool SetServiceEnd(const std::string& email, int64_t serviceEnd);
  std::optional<int> SetPassword(const std::string& email, const std::string& passwordHash);

  // Records a machine that has just signed in with the password whose hash is
  // `passwordHash`, and forgets the account's machines last seen before `forgetSeenBefore`.
  // False, and nothing recorded, when the account has been given a new password or been
  // disabled since it was read: a sign-in under way never outlives a revocation (on
  // PostgreSQL it holds the account's row, so a change of the account waits for it, or it
  // for the change).
  bool RecordMachine(int64_t accountId, const std::string& passwordHash, const std::string& machineId, int64_t now,
                     int64_t forgetSeenBefore);
  // When the machine last signed in or was seen; nothing when it is not signed in.
  std::optional<int64_t> MachineLastSeen(int64_t accountId, const std::string& machineId);
  // Notes the program version a signed-in machine runs.
  void NoteMachineVersion(int64_t accountId, const std::string& machineId, const std::string& version);
  // The same for a machine that has signed in to the account and may have been signed out
  // since (by a new password, disabling or the operator); nothing when it never signed in,
  // or was forgotten after going unseen for too long.
  std::optional<int64_t> KnownMachineLastSeen(int64_t accountId, const std::string& machineId);
  // The account with that address and the machine's last sighting on it, in one statement
  // that takes the same steps whether or not the account exists, so the time it takes
  // tells a caller nothing about which addresses have accounts.
  MachineRecord LookUpMachine(const std::string& email, const std::string& machineId);
  // Moves a signed-in machine's last sighting to `now`.
  void TouchMachine(int64_t accountId, const std::string& machineId, int64_t now);
  // For the operator: an account's signed-in machines, most recently seen first; nothing when no
  // account has that address.
  std::optional<std::vector<Machine>> Machines(const std::string& email);
  // Signs one machine of the account out, or all of them; how many, or nothing when no
  // account has that address. The machines stay known to the account.
  std::optional<int> ForgetMachine(const std::string& email, const std::string& machineId);
  std::optional<int> ForgetAllMachines(const std::string& email);

  int64_t PostNotice(const std::string& text, int64_t now);
  std::optional<Notice> NewestNotice();

  void SetLatestVersion(const std::string& version);
  std::string LatestVersion();

 private:
  // Runs `change` on the account in one transaction; nothing when there is no such account.
  template <typename Change>
  std::optional<int> ChangeAccount(const std::string& email, Change change);

  Database& db_;
};
