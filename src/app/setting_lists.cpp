#include "app/setting_lists.h"

void FillSettingList(HWND combo, const SettingChoices& choices, int selected) {
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < choices.entries.size(); ++i) {
    const auto& entry = choices.entries[i];
    const LRESULT at = ::SendMessageW(combo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(entry.text));
    if (at >= 0) ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), entry.value);
  }
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

ChosenSetting ReadSettingList(HWND combo, const SettingChoices& choices) {
  const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<size_t>(index) >= choices.entries.size()) {
    return {choices.defaultIndex, choices.entries[static_cast<size_t>(choices.defaultIndex)].value};
  }
  const LRESULT data = ::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  return {static_cast<int>(index), static_cast<int32_t>(data)};
}
