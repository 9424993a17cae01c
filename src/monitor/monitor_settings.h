// The four monitoring settings and the drop-down lists they are chosen from.
// The main window fills its combo boxes from the choice tables below (each entry's
// value goes in as the item's data) and restores the selections from stored values.
#pragma once

#include <cstdint>
#include <span>

struct MonitorSettings {
  int32_t intervalSeconds;       // seconds between two checks of a site
  int32_t retryCount;            // retries after a failed attempt
  int32_t retryIntervalSeconds;  // seconds between retries
  int32_t emailReminder;         // 0 = off, 1 = on
};

struct SettingChoice {
  const wchar_t* text;  // what the list shows
  int32_t value;        // the item's data
};

// One drop-down list: its entries in display order (never sorted) and the entry
// selected when a stored value matches none of them.
struct SettingChoices {
  std::span<const SettingChoice> entries;
  int defaultIndex;
};

extern const SettingChoices kIntervalChoices;       // "30秒" ... "15分钟", default "1分钟"
extern const SettingChoices kRetryCountChoices;     // "1次" ... "3次", default "3次"
extern const SettingChoices kRetryIntervalChoices;  // "10秒" ... "5分钟", default "30秒"
extern const SettingChoices kEmailReminderChoices;  // "不提醒", "提醒", default "不提醒"

// A selection restored from a stored value: the entry to select and the value to keep.
// An unknown stored value selects the default entry and is replaced by that entry's
// value, so what is stored always equals what the list shows (and what Start uses).
struct RestoredChoice {
  int index;
  int32_t value;
};

RestoredChoice RestoreChoice(const SettingChoices& choices, int32_t stored);

struct RestoredSettings {
  int intervalIndex;
  int retryCountIndex;
  int retryIntervalIndex;
  int emailReminderIndex;
  MonitorSettings settings;  // the stored values, repaired
};

// All four selections from stored settings (all zero when no settings file was read).
RestoredSettings RestoreSettings(const MonitorSettings& stored);
