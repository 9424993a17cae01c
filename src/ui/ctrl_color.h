// Mix-in that gives a skinned dialog's static texts and buttons its own colours.
// WM_CTLCOLORSTATIC: the text colour and the instance's brush (hollow: the dialog's
// painted background shows through), unless T::ControlColorOverride supplies a brush of
// its own; read-only and disabled edits (which also send it) keep the system colours.
// WM_CTLCOLORBTN: the text colour with the system brush. Other WM_CTLCOLOR* messages are
// not handled, so edits, combo boxes and list views keep the system look.
#pragma once

#include <windows.h>

#include "win/unique_handle.h"

// What ControlColorOverride returns for a control without colours of its own.
inline const HBRUSH kNoOverride = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(-1));

// True for an edit control (class name "Edit", read into a 40-character buffer).
bool IsEditControl(HWND control) noexcept;

template <class T, int Hollow, COLORREF Text, COLORREF Background>
class CCtrlColor {
 public:
  CCtrlColor() : brush_(Hollow ? nullptr : ::CreateSolidBrush(Background)) {}
  CCtrlColor(const CCtrlColor&) = delete;
  CCtrlColor& operator=(const CCtrlColor&) = delete;

  // T may hide this with its own public HBRUSH ControlColorOverride(HDC, HWND): a brush
  // (which T owns) for a control with colours of its own, kNoOverride otherwise.
  HBRUSH ControlColorOverride(HDC, HWND) { return kNoOverride; }

  bool ProcessCtrlColor(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN) return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    ::SetBkMode(dc, TRANSPARENT);
    if (message == WM_CTLCOLORSTATIC) {
      HBRUSH own = static_cast<T*>(this)->ControlColorOverride(dc, control);
      if (own != kNoOverride) {
        result = reinterpret_cast<LRESULT>(own);
        return true;
      }
    }
    ::SetTextColor(dc, Text);
    result = 0;
    if (message == WM_CTLCOLORSTATIC && !IsEditControl(control)) result = reinterpret_cast<LRESULT>(Brush());
    return true;
  }

  HBRUSH Brush() const noexcept {
    return Hollow ? static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)) : brush_.Get();
  }

 private:
  win::Brush brush_;  // the solid brush when not hollow; the stock hollow brush is never deleted
};
