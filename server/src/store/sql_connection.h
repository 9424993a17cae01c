// One connection to the service's database, of either engine (a SQLite file or a
// PostgreSQL server), as the stores use it. A statement is written once, with $1, $2, ...
// placeholders, prepared on its first use on a connection and run with bound values: no
// value ever becomes part of a statement's text.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class Engine { Sqlite, Postgres };

// A statement of the stores. Most read the same in both engines; where they differ,
// `postgres` holds PostgreSQL's own text. Queries live in static storage: a connection
// knows a prepared statement by its query's address.
struct Query {
  const char* sql;
  const char* postgres = nullptr;
  const char* Text(Engine engine) const { return engine == Engine::Postgres && postgres ? postgres : sql; }
};

using SqlValue = std::variant<std::nullptr_t, int64_t, std::string_view>;

inline SqlValue ToSqlValue(int64_t value) { return value; }
inline SqlValue ToSqlValue(int value) { return int64_t{value}; }
inline SqlValue ToSqlValue(bool value) { return int64_t{value ? 1 : 0}; }
inline SqlValue ToSqlValue(std::string_view value) { return value; }
inline SqlValue ToSqlValue(const std::string& value) { return std::string_view(value); }
inline SqlValue ToSqlValue(const char* value) { return std::string_view(value); }
inline SqlValue ToSqlValue(std::nullopt_t) { return nullptr; }
inline SqlValue ToSqlValue(std::nullptr_t) { return nullptr; }
inline SqlValue ToSqlValue(const std::optional<int64_t>& value) { return value ? SqlValue(*value) : SqlValue(nullptr); }

// One row of a result, every field as the engine's text (numbers in decimal).
class SqlRow {
 public:
  explicit SqlRow(std::vector<std::optional<std::string>> fields) : fields_(std::move(fields)) {}
  int64_t Int(size_t column) const;  // 0 for NULL
  const std::string& Text(size_t column) const;  // "" for NULL
  bool IsNull(size_t column) const { return !fields_.at(column); }
  size_t Columns() const { return fields_.size(); }

 private:
  std::vector<std::optional<std::string>> fields_;
};

struct SqlResult {
  std::vector<SqlRow> rows;
  int64_t changed = 0;  // rows inserted, updated or deleted
};

// A failure worth trying again shortly: a SQLite file locked by another connection, a
// PostgreSQL transaction that lost a conflict (serialization failure, deadlock), or a
// connection to the server that broke (the pool opens a new one).
class DatabaseBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  virtual Engine Kind() const = 0;
  // Runs `query` with `values` bound to $1, $2, ...; throws DatabaseBusy or
  // std::runtime_error on failure.
  virtual SqlResult Run(const Query& query, std::span<const SqlValue> values) = 0;
  // Runs SQL without parameters, possibly several statements (schema changes).
  virtual void Exec(std::string_view sql) = 0;
  // Opens a transaction. SQLite takes the write lock at once, so two writers never
  // deadlock on an upgrade from reading to writing.
  virtual void Begin() = 0;
  // Rolls back a transaction left open (after a failure); harmless when none is.
  virtual void RollBackOpenTransaction() = 0;
  // False once the connection can no longer be used (its server went away).
  virtual bool Usable() const = 0;

  // How long a statement may wait (for a lock held elsewhere, for the server's answer):
  // until `deadline`, and never past `cutOff` when one is given (the pool's, which moves
  // forward when the service stops). Without a deadline a statement waits up to the
  // engine's own busy time. A wait that reaches its limit fails with DatabaseBusy.
  void LimitWaits(std::chrono::steady_clock::time_point deadline, const std::atomic<int64_t>* cutOff = nullptr) {
    deadline_ = deadline;
    cutOff_ = cutOff;
  }
  // The earlier of the deadline and the cut-off; `otherwise` when neither is set.
  std::chrono::steady_clock::time_point WaitLimit(std::chrono::steady_clock::time_point otherwise) const {
    using Clock = std::chrono::steady_clock;
    Clock::time_point limit = deadline_ == Clock::time_point::max() ? otherwise : deadline_;
    if (cutOff_) limit = std::min(limit, Clock::time_point(Clock::duration(cutOff_->load(std::memory_order_relaxed))));
    return limit;
  }

  template <typename... Args>
  SqlResult operator()(const Query& query, const Args&... args) {
    const SqlValue values[] = {ToSqlValue(args)..., nullptr};
    return Run(query, std::span<const SqlValue>(values, sizeof...(Args)));
  }

 private:
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  const std::atomic<int64_t>* cutOff_ = nullptr;  // steady-clock ticks
};
