#include "ui/popup_host.h"

#include <new>

#include "ui/message_box_dlg.h"

namespace {
constexpr DWORD kSlideMs = 500;
}

int PopupDisplaySeconds(int seconds) noexcept {
  return seconds == 0 ? CMessageBoxDlg::kDefaultSeconds : seconds;
}

void PopupHost::EnsureCreated() {
  if (popup_) return;
  auto* popup = new (std::nothrow) CMessageBoxDlg();
  if (!popup) return;
  popup_ = popup;
  popup->SetOnGone([this, popup] {
    if (popup_ == popup) popup_ = nullptr;
  });
  if (!popup->Create(::GetDesktopWindow()) && popup_) {
    // Never bound to a window, so it will not delete itself.
    popup_ = nullptr;
    delete popup;
  }
}

void PopupHost::CreateHidden(const std::wstring& caption) {
  EnsureCreated();
  if (!popup_) return;
  popup_->SetPopupText(L"", caption);
  ::AnimateWindow(popup_->m_hWnd, CMessageBoxDlg::kFadeMs, AW_HIDE | AW_BLEND);
}

void PopupHost::ShowPopup(bool show, int seconds, const std::wstring& text, const std::wstring& caption) {
  seconds = PopupDisplaySeconds(seconds);
  EnsureCreated();
  if (!popup_) return;
  if (!text.empty() || !caption.empty()) popup_->SetPopupText(text, caption);
  HWND window = popup_->m_hWnd;
  if (!show) {
    if (::IsWindowVisible(window)) ::AnimateWindow(window, CMessageBoxDlg::kFadeMs, AW_HIDE | AW_BLEND);
    return;
  }
  if (::IsWindowVisible(window)) ::AnimateWindow(window, CMessageBoxDlg::kFadeMs, AW_HIDE | AW_BLEND);
  MoveToWorkAreaCorner(window);
  ::AnimateWindow(window, kSlideMs, AW_SLIDE | AW_VER_NEGATIVE);
  // The animations may let other messages run; the popup may have ended meanwhile.
  if (seconds > 0 && popup_) popup_->SetCountdown(seconds);
}

void PopupHost::Destroy() {
  if (!popup_) return;
  if (popup_->IsWindow()) ::DestroyWindow(popup_->m_hWnd);  // the popup deletes itself and clears popup_
  if (popup_) {  // no window to end it: it cannot delete itself
    delete popup_;
    popup_ = nullptr;
  }
}

HWND PopupHost::Window() const noexcept {
  return popup_ ? popup_->m_hWnd : nullptr;
}
