#include "store/sqlite_connection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <unordered_map>

namespace {

bool IsBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// Makes a missing file, and a missing folder for it, readable by this user only before
// SQLite opens it (SQLite would create the file readable by all, and the journal files
// follow the file's permissions).
void CreatePrivately(const std::string& path) {
  if (path.empty() || path == ":memory:" || path.starts_with("file:")) return;  // no plain file to make
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::exists(folder, ec) && fs::create_directories(folder, ec)) {
    fs::permissions(folder, fs::perms::owner_all, ec);
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd >= 0) close(fd);
}

class SqliteConnection final : public SqlConnection {
 public:
  SqliteConnection(const std::string& path, int busyMilliseconds) : busyTime_(busyMilliseconds) {
    CreatePrivately(path);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw std::runtime_error("cannot open database " + path + ": " + message);
    }
    sqlite3_busy_handler(db_, &SqliteConnection::OnBusy, this);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA foreign_keys=ON");
  }

  ~SqliteConnection() override {
    for (auto& [query, prepared] : prepared_) sqlite3_finalize(prepared.stmt);
    sqlite3_close(db_);
  }

  Engine Kind() const override { return Engine::Sqlite; }

  SqlResult Run(const Query& query, std::span<const SqlValue> values) override {
    Prepared& prepared = Prepare(query);
    sqlite3_stmt* stmt = prepared.stmt;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    for (size_t i = 0; i < prepared.valueOf.size(); ++i) {
      if (prepared.valueOf[i] >= values.size()) throw std::runtime_error(std::string("SQL value missing: ") + query.sql);
      Bind(stmt, static_cast<int>(i + 1), values[prepared.valueOf[i]]);
    }

    SqlResult result;
    const int columns = sqlite3_column_count(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::vector<std::optional<std::string>> fields(static_cast<size_t>(columns));
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(stmt, c) == SQLITE_NULL) continue;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        fields[static_cast<size_t>(c)].emplace(text, static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
      }
      result.rows.emplace_back(std::move(fields));
    }
    const std::string message = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
    sqlite3_reset(stmt);  // no read stays open on an old snapshot of the file
    if (IsBusy(rc)) throw DatabaseBusy("SQL step failed: " + message);
    if (rc != SQLITE_DONE) throw std::runtime_error("SQL step failed: " + message);
    if (!sqlite3_stmt_readonly(stmt)) result.changed = sqlite3_changes(db_);
    return result;
  }

  void Exec(std::string_view sql) override {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
      const std::string message = "SQL failed: " + std::string(error ? error : "unknown error");
      sqlite3_free(error);
      if (IsBusy(rc)) throw DatabaseBusy(message);
      throw std::runtime_error(message);
    }
  }

  void Begin() override { Exec("BEGIN IMMEDIATE"); }

  void RollBackOpenTransaction() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  bool Usable() const override { return true; }

 private:
  // SQLite asks this while another connection holds the lock a statement needs: pause
  // briefly and try again (1) until the wait limit has passed, then give up (0, and the
  // statement fails as busy). The pauses are short so that a limit moved forward by a
  // stop is seen at once.
  static int OnBusy(void* self, int count) {
    using Clock = std::chrono::steady_clock;
    auto& connection = *static_cast<SqliteConnection*>(self);
    const auto now = Clock::now();
    if (count == 0) connection.busySince_ = now;
    const auto limit = connection.WaitLimit(connection.busySince_ + connection.busyTime_);
    if (now >= limit) return 0;
    const std::chrono::milliseconds pause(count < 4 ? 1 << count : 20);
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, limit - now));
    return 1;
  }

  struct Prepared {
    sqlite3_stmt* stmt = nullptr;
    std::vector<size_t> valueOf;  // for each SQLite parameter, the index of the value bound to it
  };

  Prepared& Prepare(const Query& query) {
    if (auto it = prepared_.find(&query); it != prepared_.end()) return it->second;
    Prepared prepared;
    if (sqlite3_prepare_v3(db_, query.sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared.stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("SQL prepare failed: ") + sqlite3_errmsg(db_) + " in: " + query.sql);
    }
    // SQLite numbers "$1" and "$2" by where they first appear; each is bound by its name.
    for (int i = 1; i <= sqlite3_bind_parameter_count(prepared.stmt); ++i) {
      const char* name = sqlite3_bind_parameter_name(prepared.stmt, i);
      if (!name || name[0] != '$' || std::atoi(name + 1) < 1) {
        sqlite3_finalize(prepared.stmt);
        throw std::runtime_error(std::string("SQL parameters must be $1, $2, ...: ") + query.sql);
      }
      prepared.valueOf.push_back(static_cast<size_t>(std::atoi(name + 1) - 1));
    }
    return prepared_.emplace(&query, prepared).first->second;
  }

  static void Bind(sqlite3_stmt* stmt, int index, const SqlValue& value) {
    if (const auto* number = std::get_if<int64_t>(&value)) {
      sqlite3_bind_int64(stmt, index, *number);
    } else if (const auto* text = std::get_if<std::string_view>(&value)) {
      sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(stmt, index);
    }
  }

  sqlite3* db_ = nullptr;
  const std::chrono::milliseconds busyTime_;  // the wait for a lock when no limit is set
  std::chrono::steady_clock::time_point busySince_;
  std::unordered_map<const Query*, Prepared> prepared_;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, int busyMilliseconds) {
  return std::make_unique<SqliteConnection>(path, busyMilliseconds);
}
