// An owner-drawn flat push button that takes over a button control of a dialog template:
// a one-pixel frame (at 96 DPI; scaled with the screen), a face whose colour follows the state (normal, under the mouse,
// pushed, disabled) and a centred, word-wrapped caption. The dialog reflects WM_DRAWITEM
// back to the button (message + 0x2000), which is where the button draws itself.
#pragma once

#include <windows.h>

#include "ui/skin_colors.h"
#include "win/subclassed_window.h"

// The face colour for a draw: pushed wins, then disabled (white), then the mouse.
COLORREF ButtonFaceColor(const ButtonColors& colors, UINT itemState, bool hover) noexcept;

// The caption colour for a draw: grey while disabled.
COLORREF ButtonTextColor(const ButtonColors& colors, UINT itemState) noexcept;

class CButtonBT : public win::SubclassedWindow<CButtonBT> {
 public:
  CButtonBT() noexcept { SetColors(kDefaultButtonColors); }

  // Takes over `button` and makes it owner-drawn. Returns false when the window procedure
  // cannot be replaced; a button object already attached to `button` is left as it is.
  bool Attach(HWND button) noexcept;

  void SetColors(const ButtonColors& colors) noexcept;
  ButtonColors Colors() const noexcept { return {m_crNormal, m_crHover, m_crPressed, m_crFrame, m_crText}; }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Read at every draw; the owner may change them at any time.
  bool m_bHover = false;  // the mouse is inside and leave-tracking is armed
  COLORREF m_crNormal = 0;
  COLORREF m_crHover = 0;
  COLORREF m_crPressed = 0;
  COLORREF m_crFrame = 0;
  COLORREF m_crText = 0;

 private:
  void Draw(const DRAWITEMSTRUCT& item) noexcept;
};
