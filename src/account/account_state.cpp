#include "account/account_state.h"

#include <cwchar>

#include "account/account_forms.h"
#include "account/account_messages.h"

std::wstring CaptionLine(bool signedIn) {
  std::wstring line = kProductTitle;
  line += L' ';
  line += kProgramVersion;
  if (!signedIn) line += kNotSignedInMarker;
  return line;
}

AccountStateAction DecideAccountState(WPARAM state, const wchar_t* text, bool newVersionShown) {
  AccountStateAction action;
  action.newVersionShown = newVersionShown;
  switch (state) {
    case kAccountSignedOut:
      action.setCaption = true;
      action.caption = CaptionLine(false);
      action.clearExpireTime = true;
      break;
    case kAccountSignedIn:
      action.setCaption = true;
      action.caption = CaptionLine(true);
      break;
    case kAccountNotice:
      if (text && std::wcslen(text) > 5) {
        action.showPopup = true;
        action.popupText = text;
        action.popupCaption = kNoticeCaption;
      }
      break;
    case kAccountNewVersion:
      if (!newVersionShown) {
        action.showPopup = true;
        action.popupText = kNewVersionText;
        action.popupCaption = kProductTitle;
        action.newVersionShown = true;
      }
      break;
    default:
      break;
  }
  return action;
}
