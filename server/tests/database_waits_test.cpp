// How long work waits for the database, on either engine: for a free connection of the
// pool, for a write lock another connection holds, and when a stop cuts waits short.
// Each wait must end as busy at its limit, well before the 5 s the pool waits by default.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

#include "store/database.h"
#include "test_database.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const Query kWrite{"UPDATE schema_version SET version = version"};

TEST(DatabaseWaits, EveryWaitEndsAsBusyAtItsLimit) {
  TestFolder folder;
  Database db(TestDatabase(folder), 1);
  const auto other = OpenConnection(db.Setting());
  const struct {
    const char* name;
    bool holdConnection;  // another thread holds the pool's one connection
    bool holdLock;        // another connection holds the write lock of the row written
    bool deadline;        // the work runs under a deadline 300 ms away
    bool cut;             // else another thread cuts waits 300 ms from now
  } cases[] = {
      {"a free connection, by the deadline", true, false, true, false},
      {"a free connection, cut by a stop", true, false, false, true},
      {"the write lock, by the deadline", false, true, true, false},
      {"the write lock, cut by a stop", false, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Database pool(db.Setting(), 1);
    std::promise<void> taken, release;
    std::future<void> holder;
    if (c.holdConnection) {
      holder = std::async(std::launch::async, [&] {
        pool.WithConnection([&](SqlConnection&) {
          taken.set_value();
          release.get_future().wait();
        });
      });
      taken.get_future().wait();
    }
    if (c.holdLock) {
      other->Begin();
      (*other)(kWrite);
    }
    std::future<void> cutter;
    if (c.cut) cutter = std::async(std::launch::async, [&] { pool.CutWaitsAt(Clock::now() + 300ms); });
    const auto start = Clock::now();
    {
      const WaitDeadline bounded(c.deadline ? start + 300ms : Clock::time_point::max());
      EXPECT_THROW(pool.InTransaction([](SqlConnection& sql) { sql(kWrite); }), DatabaseBusy);
    }
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 2s) << "ended at its limit, not the default wait of 5 s";
    if (c.holdLock) other->RollBackOpenTransaction();
    if (c.holdConnection) {
      release.set_value();
      holder.get();
    }
  }
  // Without a hold, the same work goes through.
  db.InTransaction([](SqlConnection& sql) { sql(kWrite); });
}

}  // namespace
