#include "ui/button_bt.h"

#include <commctrl.h>

#include <string>

#include "text/window_text.h"
#include "win/dpi.h"
#include "win/reflection.h"

namespace {

constexpr UINT kReflectedDrawItem = win::kReflectedBase + WM_DRAWITEM;
constexpr UINT kReflectedMeasureItem = win::kReflectedBase + WM_MEASUREITEM;
constexpr UINT kReflectedCompareItem = win::kReflectedBase + WM_COMPAREITEM;
constexpr UINT kReflectedDeleteItem = win::kReflectedBase + WM_DELETEITEM;
constexpr UINT kReflectedFirst = win::kReflectedBase;
constexpr UINT kReflectedLast = win::kReflectedBase + WM_USER - 1;

// Fills `rect` in `colour` the way that needs no brush: an opaque empty text output.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour) noexcept {
  const COLORREF previous = ::SetBkColor(dc, colour);
  if (previous == CLR_INVALID) return;
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(dc, previous);
}

}  // namespace

COLORREF ButtonFaceColor(const ButtonColors& colors, UINT itemState, bool hover) noexcept {
  if (itemState & ODS_SELECTED) return colors.pressed;
  if (itemState & ODS_DISABLED) return kWhite;
  return hover ? colors.hover : colors.normal;
}

COLORREF ButtonTextColor(const ButtonColors& colors, UINT itemState) noexcept {
  return (itemState & ODS_DISABLED) ? kDisabledButtonText : colors.text;
}

bool CButtonBT::Attach(HWND button) noexcept {
  if (IsAttached()) return m_hWnd == button;
  if (!button || !SubclassWindow(button)) return false;
  // The button type is a value in the low bits, not a flag: replace it.
  const LONG style = ::GetWindowLongW(button, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) {
    ::SetWindowLongW(button, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    ::InvalidateRect(button, nullptr, FALSE);
  }
  return true;
}

void CButtonBT::SetColors(const ButtonColors& colors) noexcept {
  m_crNormal = colors.normal;
  m_crHover = colors.hover;
  m_crPressed = colors.pressed;
  m_crFrame = colors.frame;
  m_crText = colors.text;
}

bool CButtonBT::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:  // the draw covers the whole button
      result = 1;
      return true;
    case WM_MOUSEMOVE:
      if (!m_bHover) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = window;
        track.dwHoverTime = 1;
        m_bHover = ::_TrackMouseEvent(&track) != FALSE;
        ::InvalidateRect(window, nullptr, FALSE);
      }
      return false;  // the button's own procedure still sees the move
    case WM_MOUSELEAVE:
      m_bHover = false;
      ::InvalidateRect(window, nullptr, FALSE);
      return false;
    case kReflectedDrawItem:
      Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      result = 1;
      return true;
    case kReflectedMeasureItem:
    case kReflectedDeleteItem:
      result = 1;
      return true;
    case kReflectedCompareItem:
      result = 0;
      return true;
    default:
      break;
  }
  if (message >= kReflectedFirst && message <= kReflectedLast) {
    result = ::DefWindowProcW(window, message - win::kReflectedBase, wParam, lParam);
    return true;
  }
  return false;
}

void CButtonBT::Draw(const DRAWITEMSTRUCT& item) noexcept {
  HDC dc = item.hDC;
  const int saved = ::SaveDC(dc);

  // The frame is one pixel wide at 96 DPI and grows with the screen's scaling.
  const int frame = win::ScaleForDpi(1, win::DpiForWindow(item.hwndItem));
  RECT inner = item.rcItem;
  ::InflateRect(&inner, -frame, -frame);
  FillSolid(dc, item.rcItem, m_crFrame);
  FillSolid(dc, inner, ButtonFaceColor(Colors(), item.itemState, m_bHover));

  std::wstring text;
  try {
    text = WindowText(item.hwndItem);
  } catch (...) {  // out of memory: frame and face only
  }
  if (!text.empty()) {
    RECT client{};
    ::GetClientRect(item.hwndItem, &client);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ButtonTextColor(Colors(), item.itemState));
    // Measure the wrapped block, then centre it both ways in the client area.
    RECT block = client;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &block, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    const int dx = ((client.right - client.left) - (block.right - block.left)) / 2;
    const int dy = ((client.bottom - client.top) - (block.bottom - block.top)) / 2;
    ::OffsetRect(&block, dx, dy);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &block, DT_WORDBREAK | DT_CENTER);
  }
  if (saved) ::RestoreDC(dc, saved);
}
