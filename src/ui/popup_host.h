// Holds the program's one notification popup for the main window and shows notices in it.
// The popup may end on its own (its cancel command destroys it); the host is told and
// makes a new one the next time it is needed, so it never uses an ended popup.
// User-interface thread only.
#pragma once

#include <windows.h>

#include <string>

class CMessageBoxDlg;

// The display time for a requested number of seconds: 0 means the default of 60.
int PopupDisplaySeconds(int seconds) noexcept;

class PopupHost {
 public:
  PopupHost() = default;
  ~PopupHost() { Destroy(); }
  PopupHost(const PopupHost&) = delete;
  PopupHost& operator=(const PopupHost&) = delete;

  // Makes the popup (hidden, modeless, the desktop as parent) if there is none.
  void EnsureCreated();

  // The main window's start-up: makes the popup, empties its message, sets the caption
  // and keeps it hidden.
  void CreateHidden(const std::wstring& caption);

  // show: slides the popup up into the bottom-right corner of the work area, topmost and
  // without taking the focus, for `seconds` (0: 60; negative: the countdown is kept).
  // !show: fades it out. A non-empty text or caption replaces both texts; with both empty
  // the previous ones stay.
  void ShowPopup(bool show, int seconds, const std::wstring& text, const std::wstring& caption);

  // Destroys the popup window (if any) and forgets the popup.
  void Destroy();

  HWND Window() const noexcept;
  CMessageBoxDlg* Popup() const noexcept { return popup_; }

 private:
  CMessageBoxDlg* popup_ = nullptr;  // owned by its window: deletes itself when that is gone
};
