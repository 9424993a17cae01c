#include "store/account_store.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS accounts (
  id INTEGER PRIMARY KEY,
  email TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT NOT NULL,
  enabled INTEGER NOT NULL DEFAULT 1,
  service_start INTEGER NOT NULL,
  service_end INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS machines (
  account_id INTEGER NOT NULL REFERENCES accounts(id),
  machine_id TEXT NOT NULL,
  first_seen INTEGER NOT NULL,
  last_seen INTEGER NOT NULL,
  PRIMARY KEY (account_id, machine_id));
CREATE TABLE IF NOT EXISTS notices (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  text TEXT NOT NULL,
  posted INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS settings (
  key TEXT PRIMARY KEY,
  value TEXT NOT NULL);
)sql";

Database& WithSchema(Database& db) {
  db.Locked([&db] { db.Exec(kSchema); });
  return db;
}

// Signs every machine of an account out.
int ForgetMachinesOf(Database& db, int64_t accountId) {
  Statement(db.Handle(), "DELETE FROM machines WHERE account_id = ?").Bind(accountId).Run();
  return db.Changes();
}

Account ReadAccount(Statement& row) {
  return Account{row.Int(0), row.Text(1), row.Text(2), row.Int(3) != 0, row.Int(4), row.Int(5)};
}

}  // namespace

AccountStore::AccountStore(Database& db)
    : db_(WithSchema(db)),
      find_(db.Handle(),
            "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts WHERE email = ?"),
      machineSeen_(db.Handle(),
                   "INSERT INTO machines (account_id, machine_id, first_seen, last_seen) SELECT ?1, ?2, ?3, ?3 "
                   "WHERE EXISTS (SELECT 1 FROM accounts WHERE id = ?1 AND password_hash = ?4 AND enabled = 1) "
                   "ON CONFLICT (account_id, machine_id) DO UPDATE SET last_seen = excluded.last_seen"),
      machineLastSeen_(db.Handle(), "SELECT last_seen FROM machines WHERE account_id = ? AND machine_id = ?"),
      newestNotice_(db.Handle(), "SELECT id, text, posted FROM notices ORDER BY id DESC LIMIT 1"),
      latestVersion_(db.Handle(), "SELECT value FROM settings WHERE key = 'latest_version'") {}

std::optional<Account> AccountStore::FindLocked(const std::string& email) {
  if (!find_.Bind(email).Step()) return std::nullopt;
  Account account = ReadAccount(find_);
  find_.Reset();
  return account;
}

template <typename Change>
std::optional<int> AccountStore::ChangeAccount(const std::string& email, Change change) {
  return db_.Locked([&]() -> std::optional<int> {
    db_.Exec("BEGIN IMMEDIATE");
    const auto account = FindLocked(email);
    const int result = account ? change(*account) : 0;
    db_.Exec("COMMIT");
    if (!account) return std::nullopt;
    return result;
  });
}

std::optional<Account> AccountStore::Find(const std::string& email) {
  return db_.Locked([&] { return FindLocked(email); });
}

std::vector<Account> AccountStore::List() {
  return db_.Locked([&] {
    Statement all(db_.Handle(),
                  "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts ORDER BY email");
    std::vector<Account> accounts;
    while (all.Step()) accounts.push_back(ReadAccount(all));
    return accounts;
  });
}

bool AccountStore::Add(const std::string& email, const std::string& passwordHash, int64_t serviceStart,
                       int64_t serviceEnd) {
  return db_.Locked([&] {
    if (FindLocked(email)) return false;
    Statement(db_.Handle(),
              "INSERT INTO accounts (email, password_hash, enabled, service_start, service_end) VALUES (?, ?, 1, ?, ?)")
        .Bind(email, passwordHash, serviceStart, serviceEnd)
        .Run();
    return true;
  });
}

std::optional<int> AccountStore::SetEnabled(const std::string& email, bool enabled) {
  return ChangeAccount(email, [&](const Account& account) {
    Statement(db_.Handle(), "UPDATE accounts SET enabled = ? WHERE id = ?").Bind(enabled ? 1 : 0, account.id).Run();
    return enabled ? 0 : ForgetMachinesOf(db_, account.id);
  });
}

bool AccountStore::SetServiceEnd(const std::string& email, int64_t serviceEnd) {
  return ChangeAccount(email, [&](const Account& account) {
           Statement(db_.Handle(), "UPDATE accounts SET service_end = ? WHERE id = ?").Bind(serviceEnd, account.id).Run();
           return 0;
         }).has_value();
}

std::optional<int> AccountStore::SetPassword(const std::string& email, const std::string& passwordHash) {
  return ChangeAccount(email, [&](const Account& account) {
    Statement(db_.Handle(), "UPDATE accounts SET password_hash = ? WHERE id = ?").Bind(passwordHash, account.id).Run();
    return ForgetMachinesOf(db_, account.id);
  });
}

bool AccountStore::RecordMachine(int64_t accountId, const std::string& passwordHash, const std::string& machineId,
                                 int64_t now, int64_t forgetSeenBefore) {
  return db_.Locked([&] {
    db_.Exec("BEGIN IMMEDIATE");
    Statement(db_.Handle(), "DELETE FROM machines WHERE account_id = ? AND last_seen < ?")
        .Bind(accountId, forgetSeenBefore)
        .Run();
    machineSeen_.Bind(accountId, machineId, now, passwordHash).Run();
    const bool recorded = db_.Changes() > 0;
    db_.Exec("COMMIT");
    return recorded;
  });
}

std::optional<int64_t> AccountStore::MachineLastSeen(int64_t accountId, const std::string& machineId) {
  return db_.Locked([&] {
    std::optional<int64_t> seen;
    if (machineLastSeen_.Bind(accountId, machineId).Step()) seen = machineLastSeen_.Int(0);
    machineLastSeen_.Reset();
    return seen;
  });
}

void AccountStore::TouchMachine(int64_t accountId, const std::string& machineId, int64_t now) {
  db_.Locked([&] {
    Statement(db_.Handle(), "UPDATE machines SET last_seen = ? WHERE account_id = ? AND machine_id = ?")
        .Bind(now, accountId, machineId)
        .Run();
  });
}

std::optional<std::vector<Machine>> AccountStore::Machines(const std::string& email) {
  return db_.Locked([&]() -> std::optional<std::vector<Machine>> {
    const auto account = FindLocked(email);
    if (!account) return std::nullopt;
    Statement rows(db_.Handle(),
                   "SELECT machine_id, first_seen, last_seen FROM machines WHERE account_id = ? "
                   "ORDER BY last_seen DESC, machine_id");
    rows.Bind(account->id);
    std::vector<Machine> machines;
    while (rows.Step()) machines.push_back(Machine{rows.Text(0), rows.Int(1), rows.Int(2)});
    return machines;
  });
}

std::optional<int> AccountStore::ForgetMachine(const std::string& email, const std::string& machineId) {
  return ChangeAccount(email, [&](const Account& account) {
    Statement(db_.Handle(), "DELETE FROM machines WHERE account_id = ? AND machine_id = ?")
        .Bind(account.id, machineId)
        .Run();
    return db_.Changes();
  });
}

std::optional<int> AccountStore::ForgetAllMachines(const std::string& email) {
  return ChangeAccount(email, [&](const Account& account) { return ForgetMachinesOf(db_, account.id); });
}

int64_t AccountStore::PostNotice(const std::string& text, int64_t now) {
  return db_.Locked([&] {
    Statement(db_.Handle(), "INSERT INTO notices (text, posted) VALUES (?, ?)").Bind(text, now).Run();
    return db_.LastInsertId();
  });
}

std::optional<Notice> AccountStore::NewestNotice() {
  return db_.Locked([&]() -> std::optional<Notice> {
    if (!newestNotice_.Bind().Step()) return std::nullopt;
    Notice notice{newestNotice_.Int(0), newestNotice_.Text(1), newestNotice_.Int(2)};
    newestNotice_.Reset();
    return notice;
  });
}

void AccountStore::SetLatestVersion(const std::string& version) {
  db_.Locked([&] {
    Statement(db_.Handle(),
              "INSERT INTO settings (key, value) VALUES ('latest_version', ?) "
              "ON CONFLICT (key) DO UPDATE SET value = excluded.value")
        .Bind(version)
        .Run();
  });
}

std::string AccountStore::LatestVersion() {
  return db_.Locked([&] {
    std::string version = latestVersion_.Bind().Step() ? latestVersion_.Text(0) : std::string();
    latestVersion_.Reset();
    return version;
  });
}
