// The notification popup: a small white borderless window with a bold caption line, a
// message and an OK button. It lives hidden between notices; PopupHost slides it into the
// corner of the work area, and its one-second timer fades it out when the countdown ends.
// The object deletes itself once its window is gone (create it with new).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "res/resource.h"
#include "ui/button_bt.h"
#include "ui/ctrl_color.h"
#include "ui/paint_bkgnd.h"
#include "ui/skin_colors.h"
#include "win/dialog_impl.h"
#include "win/unique_handle.h"

// Moves the popup, keeping its size, flush into the bottom-right corner of the primary
// monitor's work area, above all normal windows and without activating it.
void MoveToWorkAreaCorner(HWND popup) noexcept;

class CMessageBoxDlg : public win::DialogImpl<CMessageBoxDlg>,
                       public CCtrlColor<CMessageBoxDlg, 1, kBlack, kWhite>,
                       public CPaintBkgnd<CMessageBoxDlg, kWhite> {
 public:
  enum { IDD = IDD_MESSAGEBOX };

  static constexpr std::size_t kMessageChars = 259;  // the message field holds 260 with the NUL
  static constexpr std::size_t kCaptionChars = 51;   // the caption field holds 52 with the NUL
  static constexpr int kDefaultSeconds = 60;
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT kTimerPeriodMs = 1000;
  static constexpr DWORD kFadeMs = 500;

  CMessageBoxDlg() = default;
  CMessageBoxDlg(const std::wstring& text, const std::wstring& caption);

  // Stores both texts (cut to their fields) and shows them when the window exists.
  void SetPopupText(const std::wstring& text, const std::wstring& caption);
  void SetCountdown(int seconds) noexcept { countdown_ = seconds; }
  int Countdown() const noexcept { return countdown_; }
  const std::wstring& MessageText() const noexcept { return message_; }
  const std::wstring& CaptionText() const noexcept { return caption_; }

  // Called once the window is gone, right before the object deletes itself, so that
  // whoever holds a pointer to it can forget it.
  void SetOnGone(std::function<void()> onGone) { onGone_ = std::move(onGone); }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 protected:
  void OnFinalMessage(HWND) override;

 private:
  LRESULT OnInitDialog(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnTimer(WPARAM, LPARAM);
  LRESULT OnOk(WPARAM, LPARAM);
  LRESULT OnCancel(WPARAM, LPARAM);
  LRESULT OnDpiChanged(WPARAM, LPARAM);
  LRESULT OnAfterDpiChange(WPARAM, LPARAM);
  void PlaceOkButton() noexcept;
  void ShowTexts() noexcept;

  HWND messageStatic_ = nullptr;
  CButtonBT okButton_;
  CButtonBT cancelButton_;
  win::Font titleFont_;
  std::wstring message_;
  std::wstring caption_;
  int countdown_ = kDefaultSeconds;
  UINT_PTR timer_ = 0;
  std::function<void()> onGone_;
};
