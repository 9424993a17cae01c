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
  db.Exec(kSchema);
  return db;
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
                   "INSERT INTO machines (account_id, machine_id, first_seen, last_seen) VALUES (?, ?, ?, ?) "
                   "ON CONFLICT (account_id, machine_id) DO UPDATE SET last_seen = excluded.last_seen"),
      hasMachine_(db.Handle(), "SELECT 1 FROM machines WHERE account_id = ? AND machine_id = ?"),
      newestNotice_(db.Handle(), "SELECT id, text, posted FROM notices ORDER BY id DESC LIMIT 1"),
      latestVersion_(db.Handle(), "SELECT value FROM settings WHERE key = 'latest_version'") {}

std::optional<Account> AccountStore::FindLocked(const std::string& email) {
  if (!find_.Bind(email).Step()) return std::nullopt;
  Account account = ReadAccount(find_);
  find_.Reset();
  return account;
}

std::optional<Account> AccountStore::Find(const std::string& email) {
  std::lock_guard lock(db_.Mutex());
  return FindLocked(email);
}

std::vector<Account> AccountStore::List() {
  std::lock_guard lock(db_.Mutex());
  Statement all(db_.Handle(),
                "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts ORDER BY email");
  std::vector<Account> accounts;
  while (all.Step()) accounts.push_back(ReadAccount(all));
  return accounts;
}

bool AccountStore::Add(const std::string& email, const std::string& passwordHash, int64_t serviceStart,
                       int64_t serviceEnd) {
  std::lock_guard lock(db_.Mutex());
  if (FindLocked(email)) return false;
  Statement(db_.Handle(),
            "INSERT INTO accounts (email, password_hash, enabled, service_start, service_end) VALUES (?, ?, 1, ?, ?)")
      .Bind(email, passwordHash, serviceStart, serviceEnd)
      .Run();
  return true;
}

bool AccountStore::SetEnabled(const std::string& email, bool enabled) {
  std::lock_guard lock(db_.Mutex());
  Statement(db_.Handle(), "UPDATE accounts SET enabled = ? WHERE email = ?").Bind(enabled ? 1 : 0, email).Run();
  return db_.Changes() > 0;
}

bool AccountStore::SetServiceEnd(const std::string& email, int64_t serviceEnd) {
  std::lock_guard lock(db_.Mutex());
  Statement(db_.Handle(), "UPDATE accounts SET service_end = ? WHERE email = ?").Bind(serviceEnd, email).Run();
  return db_.Changes() > 0;
}

bool AccountStore::SetPassword(const std::string& email, const std::string& passwordHash) {
  std::lock_guard lock(db_.Mutex());
  Statement(db_.Handle(), "UPDATE accounts SET password_hash = ? WHERE email = ?").Bind(passwordHash, email).Run();
  return db_.Changes() > 0;
}

void AccountStore::RecordMachine(int64_t accountId, const std::string& machineId, int64_t now) {
  std::lock_guard lock(db_.Mutex());
  machineSeen_.Bind(accountId, machineId, now, now).Run();
}

bool AccountStore::HasMachine(int64_t accountId, const std::string& machineId) {
  std::lock_guard lock(db_.Mutex());
  const bool found = hasMachine_.Bind(accountId, machineId).Step();
  hasMachine_.Reset();
  return found;
}

int64_t AccountStore::PostNotice(const std::string& text, int64_t now) {
  std::lock_guard lock(db_.Mutex());
  Statement(db_.Handle(), "INSERT INTO notices (text, posted) VALUES (?, ?)").Bind(text, now).Run();
  return db_.LastInsertId();
}

std::optional<Notice> AccountStore::NewestNotice() {
  std::lock_guard lock(db_.Mutex());
  if (!newestNotice_.Bind().Step()) return std::nullopt;
  Notice notice{newestNotice_.Int(0), newestNotice_.Text(1), newestNotice_.Int(2)};
  newestNotice_.Reset();
  return notice;
}

void AccountStore::SetLatestVersion(const std::string& version) {
  std::lock_guard lock(db_.Mutex());
  Statement(db_.Handle(),
            "INSERT INTO settings (key, value) VALUES ('latest_version', ?) "
            "ON CONFLICT (key) DO UPDATE SET value = excluded.value")
      .Bind(version)
      .Run();
}

std::string AccountStore::LatestVersion() {
  std::lock_guard lock(db_.Mutex());
  std::string version = latestVersion_.Bind().Step() ? latestVersion_.Text(0) : std::string();
  latestVersion_.Reset();
  return version;
}
