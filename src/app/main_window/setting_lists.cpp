#include "app/main_window/setting_lists.h"

#include <windowsx.h>

void FillSettingList(HWND combo, const SettingChoices& choices, int selected) {
  ComboBox_ResetContent(combo);
  for (size_t i = 0; i < choices.entries.size(); ++i) {
    const auto& entry = choices.entries[i];
    const int at = ComboBox_InsertString(combo, static_cast<int>(i), entry.text);
    if (at >= 0) ComboBox_SetItemData(combo, at, entry.value);
  }
  ComboBox_SetCurSel(combo, selected);
}

ChosenSetting ReadSettingList(HWND combo, const SettingChoices& choices) {
  const int index = ComboBox_GetCurSel(combo);
  if (index < 0 || static_cast<size_t>(index) >= choices.entries.size()) {
    return {choices.defaultIndex, choices.entries[static_cast<size_t>(choices.defaultIndex)].value};
  }
  const LRESULT data = ComboBox_GetItemData(combo, index);
  return {index, static_cast<int32_t>(data)};
}
