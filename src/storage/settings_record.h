// The settings record: the monitoring settings and the signed-in account's data, held by
// the main window and stored raw, byte for byte, as Config.dat (244 bytes, little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

struct SettingsRecord {
  int32_t intervalSeconds;       // 30, 60, 120, 300, 600 or 900
  int32_t retryCount;            // 1, 2 or 3
  int32_t retryIntervalSeconds;  // 10, 30, 60, 120 or 300
  int32_t emailReminder;         // 0 = off, 1 = on
  int32_t lastNoticeId;          // newest service notice already shown; 0 = none
  int32_t softType;              // always 2
  int32_t serviceTime;           // "time" of the last accepted reply
  int32_t expireTime;            // "expire" of the last accepted reply (seconds since 1970, UTC)
  int32_t loginFailed;           // 0 after an accepted reply, 1 after a refused one
  wchar_t machineId[21];         // UTF-16, NUL-terminated within the field
  wchar_t userName[83];          // UTF-16, NUL-terminated within the field
};

static_assert(sizeof(wchar_t) == 2, "the record stores UTF-16 text");
static_assert(sizeof(SettingsRecord) == 244, "Config.dat is exactly 244 bytes");
static_assert(offsetof(SettingsRecord, retryCount) == 4);
static_assert(offsetof(SettingsRecord, retryIntervalSeconds) == 8);
static_assert(offsetof(SettingsRecord, emailReminder) == 12);
static_assert(offsetof(SettingsRecord, lastNoticeId) == 16);
static_assert(offsetof(SettingsRecord, softType) == 20);
static_assert(offsetof(SettingsRecord, serviceTime) == 24);
static_assert(offsetof(SettingsRecord, expireTime) == 28);
static_assert(offsetof(SettingsRecord, loginFailed) == 32);
static_assert(offsetof(SettingsRecord, machineId) == 36);
static_assert(offsetof(SettingsRecord, userName) == 78);
