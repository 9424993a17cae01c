// A thin owner of one SQLite connection and its prepared statements. Every value reaches
// SQL through a bound parameter, never through the statement's text.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binds the parameters in order (1-based as SQLite counts them) and resets the statement.
  template <typename... Args>
  Statement& Bind(const Args&... args) {
    Reset();
    sqlite3_clear_bindings(stmt_);
    int index = 1;
    (BindOne(index++, args), ...);
    return *this;
  }
  // Steps once: true while a row is there. A statement that has run to its end is reset at
  // once; after reading a single row call Reset(), or the open read would hold the
  // connection on an old snapshot of the file (the operator tool writes it too).
  bool Step();
  void Reset();
  // Runs the statement to its end; true when it succeeded.
  bool Run();

  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const;
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

 private:
  void BindOne(int index, int64_t value);
  void BindOne(int index, int value) { BindOne(index, static_cast<int64_t>(value)); }
  void BindOne(int index, std::string_view value);
  void BindOne(int index, const std::string& value) { BindOne(index, std::string_view(value)); }
  void BindOne(int index, const char* value) { BindOne(index, std::string_view(value)); }
  void BindOne(int index, std::nullopt_t);

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

class Database {
 public:
  // Opens (creating when missing) the database file in WAL mode with full syncs, so a
  // committed row survives a killed process and a power cut.
  explicit Database(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* Handle() const { return db_; }
  // Runs SQL without parameters (schema, transactions); throws on failure.
  void Exec(std::string_view sql);
  int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  int Changes() const { return sqlite3_changes(db_); }
  // Held around every use of a statement of this connection: a statement's bindings and
  // rows belong to one caller at a time.
  std::mutex& Mutex() { return mutex_; }

 private:
  sqlite3* db_ = nullptr;
  std::mutex mutex_;
};
