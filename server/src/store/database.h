// The service's database: a small pool of connections to a SQLite file or to a PostgreSQL
// server, chosen by the form of the `database` setting, with the schema brought up to
// date when it opens.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "store/postgres_connection.h"
#include "store/sql_connection.h"

// True for a PostgreSQL connection string ("postgresql://..." or "postgres://...").
bool IsPostgresSetting(const std::string& setting);

// Opens one connection as the setting says. A PostgreSQL server that has not let the
// connection in by `connectBy` (or `cutOff`, see OpenPostgres) is given up on.
std::unique_ptr<SqlConnection> OpenConnection(
    const std::string& setting, const PostgresSettings& postgres = {},
    std::chrono::steady_clock::time_point connectBy = std::chrono::steady_clock::now() + std::chrono::seconds(5),
    const std::atomic<int64_t>* cutOff = nullptr);

// While it lives, every piece of database work the calling thread starts ends by
// `deadline`: its wait for a free connection, for a lock and for the server's answers, and
// its retries. A request's work is bounded as a whole this way, however many statements it
// runs. Scopes nest; the inner one holds until it ends.
class WaitDeadline {
 public:
  explicit WaitDeadline(std::chrono::steady_clock::time_point deadline);
  ~WaitDeadline();
  WaitDeadline(const WaitDeadline&) = delete;
  WaitDeadline& operator=(const WaitDeadline&) = delete;

  // The calling thread's deadline; time_point::max() when none is set.
  static std::chrono::steady_clock::time_point Current();

 private:
  const std::chrono::steady_clock::time_point outer_;
};

class Database {
 public:
  using Clock = std::chrono::steady_clock;

  // `setting` is a file path or a PostgreSQL connection string; `connections` is the
  // pool's size (0: four, and one for an in-memory SQLite database). Work without a
  // WaitDeadline waits up to `busyTime` (for a connection, a lock, the server). Opens the
  // first connection at once and brings the schema up to date (see schema.h); throws when
  // either fails.
  explicit Database(const std::string& setting, int connections = 0,
                    std::chrono::milliseconds busyTime = std::chrono::seconds(5), PostgresSettings postgres = {});
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Engine Kind() const { return engine_; }
  size_t PoolSize() const { return size_; }
  const std::string& Setting() const { return setting_; }

  // Runs `work(SqlConnection&)` on a connection of the pool that no other thread uses
  // meanwhile. On DatabaseBusy the work is undone (an open transaction rolled back) and
  // run again after a pause, until its deadline (see WaitDeadline; the busy time from now
  // without one); a broken connection is replaced by a new one before the next try. The
  // pauses are short and hold no connection.
  template <typename Work>
  auto WithConnection(Work&& work) {
    const Clock::time_point deadline = WorkDeadline();
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(50))) {
      try {
        Lease lease(*this, deadline);
        try {
          return work(lease.Connection());
        } catch (...) {
          lease.Connection().RollBackOpenTransaction();
          throw;
        }
      } catch (const DatabaseBusy&) {
        if (Clock::now() >= Limit(deadline)) throw;
      }
      std::this_thread::sleep_for(std::min<Clock::duration>(pause, Limit(deadline) - Clock::now()));
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

  // From now on no wait of any work, begun or to come, lasts past `limit`: the service
  // stops, and work still waiting then fails with DatabaseBusy.
  void CutWaitsAt(Clock::time_point limit);

 private:
  // A connection taken from the pool for one piece of work, and given back after it.
  class Lease {
   public:
    Lease(Database& db, Clock::time_point deadline);
    ~Lease();
    SqlConnection& Connection() { return *connection_; }

   private:
    Database& db_;
    std::unique_ptr<SqlConnection> connection_;
  };

  // The deadline of work starting now.
  Clock::time_point WorkDeadline() const;
  // `deadline`, or the cut-off when that comes first.
  Clock::time_point Limit(Clock::time_point deadline) const;

  const std::string setting_;
  const Engine engine_;
  const std::chrono::milliseconds busyTime_;
  const PostgresSettings postgres_;
  size_t size_ = 0;      // connections the pool may hold
  size_t opened_ = 0;    // connections open, idle or leased
  std::vector<std::unique_ptr<SqlConnection>> idle_;
  std::mutex mutex_;     // guards opened_ and idle_
  std::condition_variable returned_;
  std::atomic<int64_t> cutOff_{Clock::time_point::max().time_since_epoch().count()};
};
