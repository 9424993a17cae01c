// A thin owner of one SQLite connection and its prepared statements. Every value reaches
// SQL through a bound parameter, never through the statement's text.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

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

// A statement that found the file locked by another connection (the operator tool, or a
// reader of the file): worth trying again shortly.
class DatabaseBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Database {
 public:
  // Opens (creating when missing) the database file in WAL mode with full syncs, so a
  // committed row survives a killed process and a power cut. A new file, and a folder made
  // for it, are readable by this user only (SQLite gives the journal files the file's
  // permissions). A locked file is waited for up to `busyMilliseconds` (Locked).
  explicit Database(const std::string& path, int busyMilliseconds = 5000);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* Handle() const { return db_; }
  // Runs SQL without parameters (schema, transactions); throws on failure.
  void Exec(std::string_view sql);
  int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  int Changes() const { return sqlite3_changes(db_); }

  // Runs `work` holding the connection's lock: a statement's bindings and rows belong to one
  // caller at a time. A transaction `work` leaves open on an exception is rolled back.
  // When the file is locked by another connection, `work` is undone and run again after a
  // pause, until the busy time has passed (then DatabaseBusy reaches the caller). The lock
  // is let go during each pause, so the other threads' reads, which WAL mode never blocks,
  // go on meanwhile.
  template <typename Work>
  auto Locked(Work&& work) {
    const auto deadline = std::chrono::steady_clock::now() + busyTime_;
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
      {
        std::lock_guard lock(mutex_);
        try {
          return work();
        } catch (const DatabaseBusy&) {
          RollBackOpenTransaction();
          if (std::chrono::steady_clock::now() >= deadline) throw;
        } catch (...) {
          RollBackOpenTransaction();
          throw;
        }
      }
      std::this_thread::sleep_for(pause);
    }
  }

 private:
  void RollBackOpenTransaction();

  sqlite3* db_ = nullptr;
  const std::chrono::milliseconds busyTime_;
  std::mutex mutex_;  // held by Locked around every use of the connection
};
