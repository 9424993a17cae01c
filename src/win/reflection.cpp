#include "win/reflection.h"

namespace win {

bool ReflectNotifications(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lParam);  // 0 for menus and accelerators
      break;
    case WM_NOTIFY:
      if (lParam) child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY) {
        child = reinterpret_cast<HWND>(lParam);
      } else {
        child = ::GetDlgItem(dialog, HIWORD(wParam));
      }
      break;
    case WM_DRAWITEM:
      if (wParam) child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_MEASUREITEM:
      if (wParam) child = ::GetDlgItem(dialog, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID);
      break;
    case WM_COMPAREITEM:
      if (wParam) child = reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_DELETEITEM:
      if (wParam) child = reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      child = reinterpret_cast<HWND>(lParam);
      break;
    default:
      break;
  }
  if (!child || !::IsWindow(child)) return false;
  result = ::SendMessageW(child, kReflectedBase + message, wParam, lParam);
  return true;
}

}  // namespace win
