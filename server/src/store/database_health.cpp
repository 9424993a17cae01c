#include "store/database_health.h"

#include "store/database.h"
#include "store/schema.h"

namespace {

constexpr std::chrono::milliseconds kCheckEvery{250};
constexpr std::chrono::milliseconds kCheckWait{500};
constexpr std::chrono::seconds kFreshFor{1};

constexpr Query kReadVersion{"SELECT version FROM schema_version"};

}  // namespace

DatabaseHealth::DatabaseHealth(std::string setting, PostgresSettings postgres)
    : setting_(std::move(setting)),
      postgres_(postgres),
      healthyAt_(Clock::time_point::min().time_since_epoch().count()),
      cutOff_(Clock::time_point::max().time_since_epoch().count()) {
  if (CheckOnce()) healthyAt_ = Clock::now().time_since_epoch().count();
  thread_ = std::thread([this] { Run(); });
}

DatabaseHealth::~DatabaseHealth() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

bool DatabaseHealth::Healthy() const {
  const Clock::time_point checked{Clock::duration(healthyAt_.load(std::memory_order_relaxed))};
  return checked != Clock::time_point::min() && Clock::now() - checked <= kFreshFor;
}

void DatabaseHealth::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    cutOff_ = Clock::now().time_since_epoch().count();
  }
  wake_.notify_all();
}

bool DatabaseHealth::CheckOnce() {
  const Clock::time_point deadline = Clock::now() + kCheckWait;
  try {
    if (!connection_) connection_ = OpenConnection(setting_, postgres_, deadline, &cutOff_);
    connection_->LimitWaits(deadline, &cutOff_);
    const SqlResult result = (*connection_)(kReadVersion);
    if (result.rows.size() == 1 && result.rows[0].Int(0) == LatestSchemaVersion()) return true;
  } catch (const std::exception&) {
  }
  connection_.reset();  // a connection that failed once is not trusted again
  return false;
}

void DatabaseHealth::Run() {
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, kCheckEvery, [this] { return stopping_; })) {
    lock.unlock();
    // A failed check counts at once: the page turns to 503 without waiting for the last good one to age.
    healthyAt_ = CheckOnce() ? Clock::now().time_since_epoch().count() : Clock::time_point::min().time_since_epoch().count();
    lock.lock();
  }
}
