#include "store/database.h"

#include "store/postgres_connection.h"
#include "store/schema.h"
#include "store/sqlite_connection.h"

namespace {

constexpr size_t kDefaultConnections = 4;
constexpr std::chrono::seconds kStartWait{30};

thread_local std::chrono::steady_clock::time_point threadDeadline = std::chrono::steady_clock::time_point::max();

}  // namespace

bool IsPostgresSetting(const std::string& setting) {
  return setting.starts_with("postgresql://") || setting.starts_with("postgres://");
}

std::unique_ptr<SqlConnection> OpenConnection(const std::string& setting, const PostgresSettings& postgres,
                                              std::chrono::steady_clock::time_point connectBy,
                                              const std::atomic<int64_t>* cutOff) {
  return IsPostgresSetting(setting) ? OpenPostgres(setting, postgres, connectBy, cutOff) : OpenSqlite(setting);
}

WaitDeadline::WaitDeadline(std::chrono::steady_clock::time_point deadline) : outer_(threadDeadline) {
  threadDeadline = deadline;
}

WaitDeadline::~WaitDeadline() { threadDeadline = outer_; }

std::chrono::steady_clock::time_point WaitDeadline::Current() { return threadDeadline; }

Database::Database(const std::string& setting, int connections, std::chrono::milliseconds busyTime,
                   PostgresSettings postgres)
    : setting_(setting),
      engine_(IsPostgresSetting(setting) ? Engine::Postgres : Engine::Sqlite),
      busyTime_(busyTime),
      postgres_(postgres) {
  // Every connection to an in-memory SQLite database would be a database of its own.
  const bool inMemory = setting == ":memory:" || setting.empty();
  size_ = inMemory ? 1 : connections > 0 ? static_cast<size_t>(connections) : kDefaultConnections;
  // No request waits on a start: the first connection and the layout steps may take longer
  // than a request's wait, as on a busy machine or a server that is just coming up.
  const WaitDeadline starting(Clock::now() + kStartWait);
  idle_.push_back(OpenConnection(setting_, postgres_, WorkDeadline()));
  opened_ = 1;
  UpgradeSchema(*this);
}

Database::~Database() = default;

Database::Clock::time_point Database::WorkDeadline() const {
  const Clock::time_point scoped = WaitDeadline::Current();
  return Limit(scoped != Clock::time_point::max() ? scoped : Clock::now() + busyTime_);
}

Database::Clock::time_point Database::Limit(Clock::time_point deadline) const {
  return std::min(deadline, Clock::time_point(Clock::duration(cutOff_.load(std::memory_order_relaxed))));
}

void Database::CutWaitsAt(Clock::time_point limit) {
  {
    std::lock_guard lock(mutex_);
    cutOff_.store(std::min(cutOff_.load(), limit.time_since_epoch().count()));
  }
  returned_.notify_all();  // waits for a free connection look at the new limit
}

Database::Lease::Lease(Database& db, Clock::time_point deadline) : db_(db) {
  std::unique_lock lock(db.mutex_);
  while (db.idle_.empty() && db.opened_ >= db.size_) {
    if (db.returned_.wait_until(lock, db.Limit(deadline)) == std::cv_status::timeout &&
        Clock::now() >= db.Limit(deadline)) {
      throw DatabaseBusy("no database connection came free in time");
    }
  }
  if (!db.idle_.empty()) {
    connection_ = std::move(db.idle_.back());
    db.idle_.pop_back();
  } else {
    ++db.opened_;
    lock.unlock();
    try {
      connection_ = OpenConnection(db.setting_, db.postgres_, deadline, &db.cutOff_);
    } catch (const std::exception& e) {
      lock.lock();
      --db.opened_;
      db.returned_.notify_one();
      throw DatabaseBusy(e.what());  // the server may be back shortly
    }
  }
  // Work on a thread with a deadline waits until then; other work as the engine's busy time says.
  connection_->LimitWaits(WaitDeadline::Current(), &db.cutOff_);
}

Database::Lease::~Lease() {
  std::lock_guard lock(db_.mutex_);
  if (connection_->Usable()) {
    db_.idle_.push_back(std::move(connection_));
  } else {
    --db_.opened_;  // a new one is opened when needed
  }
  db_.returned_.notify_one();
}
