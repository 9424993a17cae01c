#include "store/account_store.h"

namespace {

// Addresses are compared without regard to case in both engines.
constexpr Query kFind{
    "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts WHERE email = $1",
    "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts "
    "WHERE lower(email) = lower($1)"};
constexpr Query kFindById{
    "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts WHERE id = $1"};
// A change of an account or its machines holds the account's row on PostgreSQL until it
// commits, and so does a sign-in while it records its machine: the two take turns. SQLite's
// write transaction already excludes every other writer.
constexpr Query kFindLocked{
    "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts WHERE email = $1",
    "SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts "
    "WHERE lower(email) = lower($1) FOR UPDATE"};
constexpr Query kLockIfUnchanged{"SELECT 1 FROM accounts WHERE id = $1 AND password_hash = $2 AND enabled = 1",
                                 "SELECT 1 FROM accounts WHERE id = $1 AND password_hash = $2 AND enabled = 1 "
                                 "FOR UPDATE"};
constexpr Query kList{"SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts "
                      "ORDER BY lower(email), email"};
constexpr Query kAdd{
    "INSERT INTO accounts (email, password_hash, enabled, service_start, service_end) VALUES ($1, $2, 1, $3, $4)"};
constexpr Query kSetEnabled{"UPDATE accounts SET enabled = $1 WHERE id = $2"};
constexpr Query kSetServiceEnd{"UPDATE accounts SET service_end = $1 WHERE id = $2"};
constexpr Query kSetPassword{"UPDATE accounts SET password_hash = $1 WHERE id = $2"};
// Signing out keeps the machine's row: it is still one the account knows (see KnownMachineLastSeen).
constexpr Query kSignOutMachines{"UPDATE machines SET signed_in = 0 WHERE account_id = $1 AND signed_in = 1"};
constexpr Query kSignOutMachine{
    "UPDATE machines SET signed_in = 0 WHERE account_id = $1 AND machine_id = $2 AND signed_in = 1"};
constexpr Query kForgetIdleMachines{"DELETE FROM machines WHERE account_id = $1 AND last_seen < $2"};
constexpr Query kMachineSeen{
    "INSERT INTO machines (account_id, machine_id, first_seen, last_seen) SELECT CAST($1 AS BIGINT), $2, CAST($3 AS BIGINT), $3 "
    "WHERE EXISTS (SELECT 1 FROM accounts WHERE id = $1 AND password_hash = $4 AND enabled = 1) "
    "ON CONFLICT (account_id, machine_id) DO UPDATE SET last_seen = excluded.last_seen, signed_in = 1"};
constexpr Query kMachineLastSeen{
    "SELECT last_seen FROM machines WHERE account_id = $1 AND machine_id = $2 AND signed_in = 1"};
constexpr Query kKnownMachineLastSeen{"SELECT last_seen FROM machines WHERE account_id = $1 AND machine_id = $2"};
constexpr Query kTouchMachine{
    "UPDATE machines SET last_seen = $1 WHERE account_id = $2 AND machine_id = $3 AND signed_in = 1"};
// The asked-for address and machine are a row of their own, joined to the account and then
// to the machine of account 0 (no account has it) when there is no account: the same two
// index lookups either way.
constexpr Query kLookUpMachine{
    "SELECT a.id, a.email, a.password_hash, a.enabled, a.service_start, a.service_end, m.last_seen "
    "FROM (SELECT $1 AS email, $2 AS machine_id) AS asked "
    "LEFT JOIN accounts AS a ON a.email = asked.email "
    "LEFT JOIN machines AS m ON m.account_id = coalesce(a.id, 0) AND m.machine_id = asked.machine_id AND m.signed_in = 1",
    "SELECT a.id, a.email, a.password_hash, a.enabled, a.service_start, a.service_end, m.last_seen "
    "FROM (SELECT CAST($1 AS TEXT) AS email, CAST($2 AS TEXT) AS machine_id) AS asked "
    "LEFT JOIN accounts AS a ON lower(a.email) = lower(asked.email) "
    "LEFT JOIN machines AS m ON m.account_id = coalesce(a.id, 0) AND m.machine_id = asked.machine_id AND m.signed_in = 1"};
constexpr Query kMachineVersion{"UPDATE machines SET version = $1 WHERE account_id = $2 AND machine_id = $3"};
constexpr Query kMachines{"SELECT machine_id, first_seen, last_seen, version FROM machines WHERE account_id = $1 "
                          "AND signed_in = 1 ORDER BY last_seen DESC, machine_id"};
constexpr Query kPostNotice{"INSERT INTO notices (text, posted) VALUES ($1, $2) RETURNING id"};
constexpr Query kNewestNotice{"SELECT id, text, posted FROM notices ORDER BY id DESC LIMIT 1"};
constexpr Query kSetLatestVersion{"INSERT INTO settings (key, value) VALUES ('latest_version', $1) "
                                  "ON CONFLICT (key) DO UPDATE SET value = excluded.value"};
constexpr Query kLatestVersion{"SELECT value FROM settings WHERE key = 'latest_version'"};

Account ReadAccount(const SqlRow& row) {
  return Account{row.Int(0), row.Text(1), row.Text(2), row.Int(3) != 0, row.Int(4), row.Int(5)};
}

std::optional<Account> FindIn(SqlConnection& sql, const std::string& email, const Query& find = kFind) {
  const SqlResult found = sql(find, email);
  if (found.rows.empty()) return std::nullopt;
  return ReadAccount(found.rows[0]);
}

std::optional<int64_t> FirstInt(const SqlResult& result) {
  if (result.rows.empty()) return std::nullopt;
  return result.rows[0].Int(0);
}

int ChangedCount(const SqlResult& result) { return static_cast<int>(result.changed); }

}  // namespace

AccountStore::AccountStore(Database& db) : db_(db) {}

template <typename Change>
std::optional<int> AccountStore::ChangeAccount(const std::string& email, Change change) {
  return db_.InTransaction([&](SqlConnection& sql) -> std::optional<int> {
    const auto account = FindIn(sql, email, kFindLocked);
    if (!account) return std::nullopt;
    return change(sql, *account);
  });
}

std::optional<Account> AccountStore::Find(const std::string& email) {
  return db_.WithConnection([&](SqlConnection& sql) { return FindIn(sql, email); });
}

std::optional<Account> AccountStore::FindById(int64_t id) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<Account> {
    const SqlResult found = sql(kFindById, id);
    if (found.rows.empty()) return std::nullopt;
    return ReadAccount(found.rows[0]);
  });
}

std::vector<Account> AccountStore::List() {
  return db_.WithConnection([&](SqlConnection& sql) {
    std::vector<Account> accounts;
    for (const SqlRow& row : sql(kList).rows) accounts.push_back(ReadAccount(row));
    return accounts;
  });
}

bool AccountStore::Add(const std::string& email, const std::string& passwordHash, int64_t serviceStart,
                       int64_t serviceEnd) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (FindIn(sql, email)) return false;
    sql(kAdd, email, passwordHash, serviceStart, serviceEnd);
    return true;
  });
}

std::optional<int> AccountStore::SetEnabled(const std::string& email, bool enabled) {
  return ChangeAccount(email, [&](SqlConnection& sql, const Account& account) {
    sql(kSetEnabled, enabled, account.id);
    return enabled ? 0 : ChangedCount(sql(kSignOutMachines, account.id));
  });
}

bool AccountStore::SetServiceEnd(const std::string& email, int64_t serviceEnd) {
  return ChangeAccount(email, [&](SqlConnection& sql, const Account& account) {
           sql(kSetServiceEnd, serviceEnd, account.id);
           return 0;
         }).has_value();
}

std::optional<int> AccountStore::SetPassword(const std::string& email, const std::string& passwordHash) {
  return ChangeAccount(email, [&](SqlConnection& sql, const Account& account) {
    sql(kSetPassword, passwordHash, account.id);
    return ChangedCount(sql(kSignOutMachines, account.id));
  });
}

bool AccountStore::RecordMachine(int64_t accountId, const std::string& passwordHash, const std::string& machineId,
                                 int64_t now, int64_t forgetSeenBefore) {
  return db_.InTransaction([&](SqlConnection& sql) {
    if (sql(kLockIfUnchanged, accountId, passwordHash).rows.empty()) return false;
    sql(kForgetIdleMachines, accountId, forgetSeenBefore);
    return sql(kMachineSeen, accountId, machineId, now, passwordHash).changed > 0;
  });
}

std::optional<int64_t> AccountStore::MachineLastSeen(int64_t accountId, const std::string& machineId) {
  return db_.WithConnection([&](SqlConnection& sql) { return FirstInt(sql(kMachineLastSeen, accountId, machineId)); });
}

std::optional<int64_t> AccountStore::KnownMachineLastSeen(int64_t accountId, const std::string& machineId) {
  return db_.WithConnection(
      [&](SqlConnection& sql) { return FirstInt(sql(kKnownMachineLastSeen, accountId, machineId)); });
}

MachineRecord AccountStore::LookUpMachine(const std::string& email, const std::string& machineId) {
  return db_.WithConnection([&](SqlConnection& sql) {
    const SqlResult found = sql(kLookUpMachine, email, machineId);
    MachineRecord record;
    if (found.rows.empty() || found.rows[0].IsNull(0)) return record;
    const SqlRow& row = found.rows[0];
    record.account = ReadAccount(row);
    if (!row.IsNull(6)) record.lastSeen = row.Int(6);
    return record;
  });
}

void AccountStore::NoteMachineVersion(int64_t accountId, const std::string& machineId, const std::string& version) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kMachineVersion, version, accountId, machineId); });
}

void AccountStore::TouchMachine(int64_t accountId, const std::string& machineId, int64_t now) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kTouchMachine, now, accountId, machineId); });
}

std::optional<std::vector<Machine>> AccountStore::Machines(const std::string& email) {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<std::vector<Machine>> {
    const auto account = FindIn(sql, email);
    if (!account) return std::nullopt;
    std::vector<Machine> machines;
    for (const SqlRow& row : sql(kMachines, account->id).rows) {
      machines.push_back(Machine{row.Text(0), row.Int(1), row.Int(2), row.Text(3)});
    }
    return machines;
  });
}

std::optional<int> AccountStore::ForgetMachine(const std::string& email, const std::string& machineId) {
  return ChangeAccount(email, [&](SqlConnection& sql, const Account& account) {
    return ChangedCount(sql(kSignOutMachine, account.id, machineId));
  });
}

std::optional<int> AccountStore::ForgetAllMachines(const std::string& email) {
  return ChangeAccount(email, [&](SqlConnection& sql, const Account& account) {
    return ChangedCount(sql(kSignOutMachines, account.id));
  });
}

int64_t AccountStore::PostNotice(const std::string& text, int64_t now) {
  return db_.WithConnection([&](SqlConnection& sql) { return sql(kPostNotice, text, now).rows.at(0).Int(0); });
}

std::optional<Notice> AccountStore::NewestNotice() {
  return db_.WithConnection([&](SqlConnection& sql) -> std::optional<Notice> {
    const SqlResult newest = sql(kNewestNotice);
    if (newest.rows.empty()) return std::nullopt;
    const SqlRow& row = newest.rows[0];
    return Notice{row.Int(0), row.Text(1), row.Int(2)};
  });
}

void AccountStore::SetLatestVersion(const std::string& version) {
  db_.WithConnection([&](SqlConnection& sql) { sql(kSetLatestVersion, version); });
}

std::string AccountStore::LatestVersion() {
  return db_.WithConnection([&](SqlConnection& sql) {
    const SqlResult latest = sql(kLatestVersion);
    return latest.rows.empty() ? std::string() : latest.rows[0].Text(0);
  });
}
