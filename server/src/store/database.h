// The service's database: a small pool of connections to a SQLite file or to a PostgreSQL
// server, chosen by the form of the `database` setting, with the schema brought up to
// date when it opens.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "store/sql_connection.h"

// True for a PostgreSQL connection string ("postgresql://..." or "postgres://...").
bool IsPostgresSetting(const std::string& setting);

// Opens one connection as the setting says.
std::unique_ptr<SqlConnection> OpenConnection(const std::string& setting);

class Database {
 public:
  // `setting` is a file path or a PostgreSQL connection string; `connections` is the
  // pool's size (0: four, and one for an in-memory SQLite database). Opens the first
  // connection at once and brings the schema up to date (see schema.h); throws when
  // either fails.
  explicit Database(const std::string& setting, int connections = 0,
                    std::chrono::milliseconds busyTime = std::chrono::seconds(5));
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Engine Kind() const { return engine_; }

  // Runs `work(SqlConnection&)` on a connection of the pool that no other thread uses
  // meanwhile. On DatabaseBusy the work is undone (an open transaction rolled back) and
  // run again after a pause, until the busy time has passed; a broken connection is
  // replaced by a new one before the next try.
  template <typename Work>
  auto WithConnection(Work&& work) {
    const auto deadline = std::chrono::steady_clock::now() + busyTime_;
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
      try {
        Lease lease(*this);
        try {
          return work(lease.Connection());
        } catch (...) {
          lease.Connection().RollBackOpenTransaction();
          throw;
        }
      } catch (const DatabaseBusy&) {
        if (std::chrono::steady_clock::now() >= deadline) throw;
      }
      std::this_thread::sleep_for(pause);
    }
  }

  // The same, with `work` inside one transaction, committed when it returns.
  template <typename Work>
  auto InTransaction(Work&& work) {
    return WithConnection([&](SqlConnection& sql) {
      sql.Begin();
      if constexpr (std::is_void_v<decltype(work(sql))>) {
        work(sql);
        sql.Exec("COMMIT");
      } else {
        auto result = work(sql);
        sql.Exec("COMMIT");
        return result;
      }
    });
  }

  // True when the database answers a trivial query now (for health checks).
  bool Answers();

 private:
  // A connection taken from the pool for one piece of work, and given back after it.
  class Lease {
   public:
    explicit Lease(Database& db);
    ~Lease();
    SqlConnection& Connection() { return *connection_; }

   private:
    Database& db_;
    std::unique_ptr<SqlConnection> connection_;
  };

  const std::string setting_;
  const Engine engine_;
  const std::chrono::milliseconds busyTime_;
  size_t size_ = 0;      // connections the pool may hold
  size_t opened_ = 0;    // connections open, idle or leased
  std::vector<std::unique_ptr<SqlConnection>> idle_;
  std::mutex mutex_;     // guards opened_ and idle_
  std::condition_variable returned_;
};
