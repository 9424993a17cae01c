#include "monitor/monitor_settings.h"

namespace {

constexpr SettingChoice kIntervalEntries[] = {
    {L"30秒", 30}, {L"1分钟", 60}, {L"2分钟", 120}, {L"5分钟", 300}, {L"10分钟", 600}, {L"15分钟", 900},
};
constexpr SettingChoice kRetryCountEntries[] = {{L"1次", 1}, {L"2次", 2}, {L"3次", 3}};
constexpr SettingChoice kRetryIntervalEntries[] = {
    {L"10秒", 10}, {L"30秒", 30}, {L"1分钟", 60}, {L"2分钟", 120}, {L"5分钟", 300},
};
constexpr SettingChoice kEmailReminderEntries[] = {{L"不提醒", 0}, {L"提醒", 1}};

}  // namespace

const SettingChoices kIntervalChoices{kIntervalEntries, 1};
const SettingChoices kRetryCountChoices{kRetryCountEntries, 2};
const SettingChoices kRetryIntervalChoices{kRetryIntervalEntries, 1};
const SettingChoices kEmailReminderChoices{kEmailReminderEntries, 0};

RestoredChoice RestoreChoice(const SettingChoices& choices, int32_t stored) {
  for (size_t i = 0; i < choices.entries.size(); ++i) {
    if (choices.entries[i].value == stored) return {static_cast<int>(i), stored};
  }
  return {choices.defaultIndex, choices.entries[static_cast<size_t>(choices.defaultIndex)].value};
}

RestoredSettings RestoreSettings(const MonitorSettings& stored) {
  const RestoredChoice interval = RestoreChoice(kIntervalChoices, stored.intervalSeconds);
  const RestoredChoice retryCount = RestoreChoice(kRetryCountChoices, stored.retryCount);
  const RestoredChoice retryInterval = RestoreChoice(kRetryIntervalChoices, stored.retryIntervalSeconds);
  const RestoredChoice email = RestoreChoice(kEmailReminderChoices, stored.emailReminder);
  return {interval.index,
          retryCount.index,
          retryInterval.index,
          email.index,
          {interval.value, retryCount.value, retryInterval.value, email.value}};
}
