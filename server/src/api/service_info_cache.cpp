#include "api/service_info_cache.h"

std::shared_ptr<const ServiceInfoCache::Info> ServiceInfoCache::Get(int64_t now) {
  std::lock_guard lock(mutex_);
  if (!info_ || maxAge_ <= 0 || now >= readAt_ + maxAge_ || now < readAt_) {
    info_ = std::make_shared<const Info>(Info{accounts_.NewestNotice(), accounts_.LatestVersion()});
    readAt_ = now;
  }
  return info_;
}
