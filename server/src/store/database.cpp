#include "store/database.h"

#include "store/postgres_connection.h"
#include "store/schema.h"
#include "store/sqlite_connection.h"

namespace {

constexpr size_t kDefaultConnections = 4;

}  // namespace

bool IsPostgresSetting(const std::string& setting) {
  return setting.starts_with("postgresql://") || setting.starts_with("postgres://");
}

std::unique_ptr<SqlConnection> OpenConnection(const std::string& setting) {
  return IsPostgresSetting(setting) ? OpenPostgres(setting) : OpenSqlite(setting);
}

Database::Database(const std::string& setting, int connections, std::chrono::milliseconds busyTime)
    : setting_(setting),
      engine_(IsPostgresSetting(setting) ? Engine::Postgres : Engine::Sqlite),
      busyTime_(busyTime) {
  // Every connection to an in-memory SQLite database would be a database of its own.
  const bool inMemory = setting == ":memory:" || setting.empty();
  size_ = inMemory ? 1 : connections > 0 ? static_cast<size_t>(connections) : kDefaultConnections;
  idle_.push_back(OpenConnection(setting_));
  opened_ = 1;
  UpgradeSchema(*this);
}

Database::~Database() = default;

Database::Lease::Lease(Database& db) : db_(db) {
  std::unique_lock lock(db.mutex_);
  db.returned_.wait(lock, [&db] { return !db.idle_.empty() || db.opened_ < db.size_; });
  if (!db.idle_.empty()) {
    connection_ = std::move(db.idle_.back());
    db.idle_.pop_back();
    return;
  }
  ++db.opened_;
  lock.unlock();
  try {
    connection_ = OpenConnection(db.setting_);
  } catch (const std::exception& e) {
    lock.lock();
    --db.opened_;
    db.returned_.notify_one();
    throw DatabaseBusy(e.what());  // the server may be back shortly
  }
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

bool Database::Answers() {
  static constexpr Query kPing{"SELECT 1"};
  // Each idle connection left from before the server went away fails once and is
  // dropped: then the next, and in the end a new one, is asked.
  for (size_t attempt = 0; attempt <= size_; ++attempt) {
    try {
      Lease lease(*this);
      return lease.Connection()(kPing).rows.size() == 1;
    } catch (const DatabaseBusy&) {
    } catch (const std::exception&) {
      return false;
    }
  }
  return false;
}
