// Config.dat: the settings record stored raw, 244 bytes, nothing before or after.
#pragma once

#include <string>

#include "storage/settings_record.h"

// The record as stored. A missing, read-only, locked or unreadable file gives the all-zero
// record; a short file fills only the beginning; bytes beyond the record are ignored. Both
// text fields come back terminated within themselves.
SettingsRecord ReadSettingsFile(const std::wstring& path);

// Stores the whole record, replacing the file in one step so that a crash or a full disk
// leaves the previous file intact. A read-only file is left as it is. Returns whether the
// record was stored.
bool WriteSettingsFile(const std::wstring& path, const SettingsRecord& record);

// The record after the sign-in dialog has closed: `own`'s interval, retry count and retry
// interval (the first 12 bytes), everything else (232 bytes) from the dialog's copy.
SettingsRecord MergeSignInRecord(const SettingsRecord& own, const SettingsRecord& dialogCopy);
