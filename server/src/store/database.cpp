#include "store/database.h"

#include <stdexcept>

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

Database::Database(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("cannot open database " + path + ": " + message);
  }
  // The operator tool writes the same file while the service runs: wait for its lock.
  sqlite3_busy_timeout(db_, 5000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=FULL");
  Exec("PRAGMA foreign_keys=ON");
}

Database::~Database() { sqlite3_close(db_); }

void Database::Exec(std::string_view sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("SQL failed: " + message);
  }
}
