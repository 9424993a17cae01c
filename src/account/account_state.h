// What the main window does with a WM_ACCOUNTSTATE message, decided without a window.
#pragma once

#include <windows.h>

#include <string>

#include "text/product_texts.h"

inline constexpr wchar_t kNewVersionText[] = L"发现新版本，请及时更新";
inline constexpr wchar_t kNotSignedInMarker[] = L"(未登录)";

// "禾岚网站监控 1.1.0.2", followed directly by "(未登录)" when not signed in.
std::wstring CaptionLine(bool signedIn);

struct AccountStateAction {
  bool setCaption = false;       // put caption into the caption line (control 1006)
  std::wstring caption;
  bool clearExpireTime = false;  // set the record's expireTime to 0
  bool showPopup = false;        // ShowPopup(popupText, popupCaption, 0 seconds)
  std::wstring popupText;
  std::wstring popupCaption;
  bool newVersionShown = false;  // the window's new-version flag after this message
};

// state is the message's wParam, text its lParam for a notice (may be null);
// newVersionShown is the window's flag: the new-version popup appears once per run.
AccountStateAction DecideAccountState(WPARAM state, const wchar_t* text, bool newVersionShown);
