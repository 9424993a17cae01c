// Base for classes that take over an existing control (a button of a dialog template):
// the control's window procedure is replaced by the object's, and what the object does
// not handle goes to the control's own procedure. T supplies
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result) noexcept;
#pragma once

#include <windows.h>

namespace win {

template <class T>
class SubclassedWindow {
 public:
  SubclassedWindow() = default;
  SubclassedWindow(const SubclassedWindow&) = delete;
  SubclassedWindow& operator=(const SubclassedWindow&) = delete;
  virtual ~SubclassedWindow() { UnsubclassWindow(); }

  // Returns false when the window procedure could not be replaced.
  bool SubclassWindow(HWND hwnd) {
    if (m_hWnd || !hwnd) return false;
    ::SetPropW(hwnd, kObjectProperty, this);
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    if (!previous) {
      ::RemovePropW(hwnd, kObjectProperty);
      return false;
    }
    previous_ = previous;
    m_hWnd = hwnd;
    return true;
  }

  // Gives the control its own procedure back; returns the window that was held.
  HWND UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (!hwnd) return nullptr;
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    ::RemovePropW(hwnd, kObjectProperty);
    m_hWnd = nullptr;
    previous_ = nullptr;
    return hwnd;
  }

  bool IsAttached() const { return m_hWnd != nullptr; }

  HWND m_hWnd = nullptr;

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(previous_, m_hWnd, message, wParam, lParam);
  }

 private:
  static constexpr wchar_t kObjectProperty[] = L"TarnSubclassedWindow";

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* base = static_cast<SubclassedWindow*>(::GetPropW(hwnd, kObjectProperty));
    if (!base) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC previous = base->previous_;
    if (message == WM_NCDESTROY) {
      base->UnsubclassWindow();
      return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (static_cast<T*>(base)->ProcessWindowMessage(hwnd, message, wParam, lParam, result)) return result;
    return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
  }

  WNDPROC previous_ = nullptr;
};

}  // namespace win
