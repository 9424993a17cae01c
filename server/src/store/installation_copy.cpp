#include "store/installation_copy.h"

#include <array>
#include <stdexcept>

namespace {

// One table as it is copied: every row read from the source and written to the target with
// the same values, ids included. Claims on mails are left behind (no instance holds one
// after a move), and so are the sign-in throttling counts, which last minutes.
struct Table {
  const char* one;  // what a row is called in the summary
  const char* many;
  Query read;
  Query write;
  Query count;
  Query restartIds;  // sets the next id past the copied ones; no text for a table without ids
};

constexpr std::array kTables{
    Table{"account", "accounts",
          {"SELECT id, email, password_hash, enabled, service_start, service_end FROM accounts ORDER BY id"},
          {"INSERT INTO accounts (id, email, password_hash, enabled, service_start, service_end) "
           "VALUES ($1, $2, $3, $4, $5, $6)"},
          {"SELECT COUNT(*) FROM accounts"},
          {"SELECT setval(pg_get_serial_sequence('accounts', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM accounts"}},
    Table{"machine", "machines",
          {"SELECT account_id, machine_id, first_seen, last_seen, signed_in, version FROM machines "
           "ORDER BY account_id, machine_id"},
          {"INSERT INTO machines (account_id, machine_id, first_seen, last_seen, signed_in, version) "
           "VALUES ($1, $2, $3, $4, $5, $6)"},
          {"SELECT COUNT(*) FROM machines"},
          {nullptr}},
    Table{"notice", "notices",
          {"SELECT id, text, posted FROM notices ORDER BY id"},
          {"INSERT INTO notices (id, text, posted) VALUES ($1, $2, $3)"},
          {"SELECT COUNT(*) FROM notices"},
          {"SELECT setval(pg_get_serial_sequence('notices', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM notices"}},
    Table{"setting", "settings",
          {"SELECT key, value FROM settings ORDER BY key"},
          {"INSERT INTO settings (key, value) VALUES ($1, $2)"},
          {"SELECT COUNT(*) FROM settings"},
          {nullptr}},
    Table{"mail", "mails",
          {"SELECT id, account_id, recipient, message, state, attempts, created, next_attempt, sent_at, last_error, "
           "site, event, status_code FROM mails ORDER BY id"},
          {"INSERT INTO mails (id, account_id, recipient, message, state, attempts, created, next_attempt, sent_at, "
           "last_error, site, event, status_code) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13)"},
          {"SELECT COUNT(*) FROM mails"},
          {"SELECT setval(pg_get_serial_sequence('mails', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM mails"}},
    // Reminder channels and their deliveries; their claims and recent sends stay behind.
    Table{"channel", "channels",
          {"SELECT id, account_id, kind, target, secret, events, enabled, paused_reason, created FROM channels "
           "ORDER BY id"},
          {"INSERT INTO channels (id, account_id, kind, target, secret, events, enabled, paused_reason, created) "
           "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)"},
          {"SELECT COUNT(*) FROM channels"},
          {"SELECT setval(pg_get_serial_sequence('channels', 'id'), COALESCE(MAX(id), 0) + 1, false) FROM channels"}},
    Table{"channel delivery", "channel deliveries",
          {"SELECT id, channel_id, account_id, reminder, template_id, status_code, site, event_time, down_seconds, "
           "state, attempts, created, next_attempt, sent_at, last_error FROM deliveries ORDER BY id"},
          {"INSERT INTO deliveries (id, channel_id, account_id, reminder, template_id, status_code, site, event_time, "
           "down_seconds, state, attempts, created, next_attempt, sent_at, last_error) "
           "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15)"},
          {"SELECT COUNT(*) FROM deliveries"},
          {"SELECT setval(pg_get_serial_sequence('deliveries', 'id'), COALESCE(MAX(id), 0) + 1, false) "
           "FROM deliveries"}},
    Table{"failing site", "failing sites",
          {"SELECT account_id, site, failing_since FROM site_states ORDER BY account_id, site"},
          {"INSERT INTO site_states (account_id, site, failing_since) VALUES ($1, $2, $3)"},
          {"SELECT COUNT(*) FROM site_states"},
          {nullptr}},
    // The web pages' sessions and unused links (kept as hashes), so no owner is signed out
    // and no mailed link stops working by the move.
    Table{"web session", "web sessions",
          {"SELECT id_hash, account_id, created, last_used FROM web_sessions ORDER BY id_hash"},
          {"INSERT INTO web_sessions (id_hash, account_id, created, last_used) VALUES ($1, $2, $3, $4)"},
          {"SELECT COUNT(*) FROM web_sessions"},
          {nullptr}},
    Table{"web link", "web links",
          {"SELECT token_hash, purpose, email, password_hash, service_days, expires, used FROM web_tokens "
           "ORDER BY token_hash"},
          {"INSERT INTO web_tokens (token_hash, purpose, email, password_hash, service_days, expires, used) "
           "VALUES ($1, $2, $3, $4, $5, $6, $7)"},
          {"SELECT COUNT(*) FROM web_tokens"},
          {nullptr}},
};
// The tables up to the mails are always named in the summary; the later ones when they hold rows.
constexpr size_t kAlwaysCounted = 5;

constexpr Query kCountQueued{"SELECT COUNT(*) FROM mails WHERE state = 'queued'"};

std::string Counted(int64_t count, const Table& table) {
  return std::to_string(count) + " " + (count == 1 ? table.one : table.many);
}

// Writes the snapshot into the transaction `sql` has open; throws when the target already
// holds rows.
void WriteSnapshot(SqlConnection& sql, const InstallationSnapshot& snapshot) {
  // No instance writes meanwhile, and a second copy started at the same time waits here
  // and then finds the rows of the first.
  sql.Exec("LOCK TABLE accounts, machines, notices, settings, mails, channels, deliveries, site_states, "
           "web_sessions, web_tokens IN SHARE ROW EXCLUSIVE MODE");
  std::string found;
  for (const Table& table : kTables) {
    const int64_t rows = sql(table.count).rows.at(0).Int(0);
    if (rows > 0) found += (found.empty() ? "" : ", ") + Counted(rows, table);
  }
  if (!found.empty()) {
    throw std::runtime_error("the database already holds an installation (" + found +
                             "): copy-to copies only into an empty database, nothing was copied");
  }
  std::vector<SqlValue> values;
  for (size_t t = 0; t < kTables.size(); ++t) {
    for (const SqlRow& row : snapshot.tables[t].rows) {
      values.clear();
      for (size_t column = 0; column < row.Columns(); ++column) {
        values.push_back(row.IsNull(column) ? SqlValue(nullptr) : SqlValue(std::string_view(row.Text(column))));
      }
      sql.Run(kTables[t].write, values);
    }
    if (kTables[t].restartIds.sql) sql(kTables[t].restartIds);
  }
}

}  // namespace

InstallationSnapshot ReadInstallation(Database& source) {
  return source.WithConnection([](SqlConnection& sql) {
    // A plain BEGIN in SQLite reads one state of the file throughout without keeping
    // writers out (the connection's Begin would take the write lock).
    sql.Exec("BEGIN");
    InstallationSnapshot snapshot;
    for (const Table& table : kTables) snapshot.tables.push_back(sql(table.read));
    snapshot.queuedMails = sql(kCountQueued).rows.at(0).Int(0);
    sql.Exec("COMMIT");
    return snapshot;
  });
}

void WriteInstallation(Database& target, const InstallationSnapshot& snapshot) {
  target.InTransaction([&](SqlConnection& sql) { WriteSnapshot(sql, snapshot); });
}

std::string DescribeInstallation(const InstallationSnapshot& snapshot) {
  std::string text;
  for (size_t t = 0; t < kTables.size(); ++t) {
    const size_t rows = snapshot.tables[t].rows.size();
    if (t >= kAlwaysCounted && rows == 0) continue;
    text += (t == 0 ? "" : ", ") + Counted(static_cast<int64_t>(rows), kTables[t]);
    if (t == kAlwaysCounted - 1) text += " (" + std::to_string(snapshot.queuedMails) + " queued)";
  }
  return text;
}
