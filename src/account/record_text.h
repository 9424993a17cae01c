// How long the fixed UTF-16 text fields of the settings record (userName, machineId) may
// be; storage/settings_fields.h reads and writes them within bounds.
#pragma once

#include <cstddef>

#include "storage/settings_record.h"

// Characters the fields hold, without their terminators.
inline constexpr size_t kMaxUserNameLength = sizeof(SettingsRecord::userName) / sizeof(wchar_t) - 1;
