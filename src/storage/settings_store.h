// The one in-memory copy of the settings record, shared between the window thread and
// the account threads. Every access goes through one lock, so a reader always sees a
// whole, consistent record (never half of a user name replaced by a sign-in).
#pragma once

#include <mutex>

#include "storage/settings_record.h"

class SettingsStore {
 public:
  SettingsStore() : record_{} {}

  SettingsRecord Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return record_;
  }

  void Replace(const SettingsRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    record_ = record;
  }

  // Runs change(record) under the lock; keep it short and free of calls out.
  template <typename Change>
  void Update(Change&& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(record_);
  }

 private:
  mutable std::mutex mutex_;
  SettingsRecord record_;
};
