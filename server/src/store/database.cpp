#include "store/database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt_, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("SQL prepare failed: ") + sqlite3_errmsg(db));
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Reset() { sqlite3_reset(stmt_); }

void Statement::BindOne(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Statement::BindOne(int index, std::string_view value) {
  sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

void Statement::BindOne(int index, std::nullopt_t) { sqlite3_bind_null(stmt_, index); }

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  const std::string message = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  if (IsBusy(rc)) throw DatabaseBusy("SQL step failed: " + message);
  if (rc != SQLITE_DONE) throw std::runtime_error("SQL step failed: " + message);
  return false;
}

bool Statement::Run() {
  while (Step()) {
  }
  return true;
}

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

Database::Database(const std::string& path, int busyMilliseconds) : busyTime_(busyMilliseconds) {
  CreatePrivately(path);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("cannot open database " + path + ": " + message);
  }
  // No busy wait inside SQLite: it would hold the connection, and with it every other
  // thread, for the whole wait. Locked waits instead, with the connection let go.
  Locked([this] {
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA foreign_keys=ON");
  });
}

Database::~Database() { sqlite3_close(db_); }

void Database::Exec(std::string_view sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const std::string message = "SQL failed: " + std::string(error ? error : "unknown error");
    sqlite3_free(error);
    if (IsBusy(rc)) throw DatabaseBusy(message);
    throw std::runtime_error(message);
  }
}

void Database::RollBackOpenTransaction() {
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}
