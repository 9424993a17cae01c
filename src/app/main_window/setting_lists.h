// The four drop-down lists of the monitoring settings: filling them from the choice
// tables and reading the chosen values back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "monitor/monitor_settings.h"

// Inserts the entries at fixed positions (never sorted), each with its value as the item's
// data, and selects entry `selected`.
void FillSettingList(HWND combo, const SettingChoices& choices, int selected);

struct ChosenSetting {
  int index;      // the selection
  int32_t value;  // its item data
};

// The current selection and its value; a list without a selection counts as showing its
// default entry, so a run never starts with a value the list does not offer.
ChosenSetting ReadSettingList(HWND combo, const SettingChoices& choices);
