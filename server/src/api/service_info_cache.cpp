#include "api/service_info_cache.h"

std::shared_ptr<const ServiceInfoCache::Info> ServiceInfoCache::Get(int64_t now) {
  if (maxAge_ <= 0) return std::make_shared<const Info>(Info{accounts_.NewestNotice(), accounts_.LatestVersion()});
  {
    std::lock_guard lock(mutex_);
    const bool fresh = info_ && now < readAt_ + maxAge_ && now >= readAt_;
    // While one request reads the database, the others go on with the copy they have.
    if (fresh || (reading_ && info_)) return info_;
    reading_ = true;
  }
  // Read without the lock: a read that waits for the database holds up no other request.
  std::shared_ptr<const Info> info;
  try {
    info = std::make_shared<const Info>(Info{accounts_.NewestNotice(), accounts_.LatestVersion()});
  } catch (...) {
    std::lock_guard lock(mutex_);
    reading_ = false;
    throw;
  }
  std::lock_guard lock(mutex_);
  reading_ = false;
  info_ = info;
  readAt_ = now;
  return info;
}
