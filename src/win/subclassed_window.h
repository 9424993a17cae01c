// Base for classes that take over an existing control (a button of a dialog template)
// through the system's subclassing (SetWindowSubclass), which chains safely with other
// subclasses: what the object does not handle goes on to the control's own procedure.
// T supplies
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result);
// The subclass procedure is the error boundary: a handler that throws leaves its message
// to the control's own procedure.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace win {

template <class T>
class SubclassedWindow {
 public:
  SubclassedWindow() = default;
  SubclassedWindow(const SubclassedWindow&) = delete;
  SubclassedWindow& operator=(const SubclassedWindow&) = delete;
  virtual ~SubclassedWindow() { UnsubclassWindow(); }

  // Returns false when the control could not be subclassed.
  bool SubclassWindow(HWND hwnd) {
    if (m_hWnd || !hwnd) return false;
    if (!::SetWindowSubclass(hwnd, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
    m_hWnd = hwnd;
    return true;
  }

  // Gives the control its own procedure back; returns the window that was held.
  HWND UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (!hwnd) return nullptr;
    ::RemoveWindowSubclass(hwnd, &SubclassProc, kSubclassId);
    m_hWnd = nullptr;
    return hwnd;
  }

  bool IsAttached() const { return m_hWnd != nullptr; }

  HWND m_hWnd = nullptr;

 protected:
  // The control's own processing of a message, from inside a handler.
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(m_hWnd, message, wParam, lParam);
  }

 private:
  static constexpr UINT_PTR kSubclassId = 1;

  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR object) noexcept {
    auto* base = reinterpret_cast<SubclassedWindow*>(object);
    if (message == WM_NCDESTROY) {
      base->UnsubclassWindow();
      return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
      if (static_cast<T*>(base)->ProcessWindowMessage(hwnd, message, wParam, lParam, result)) return result;
    } catch (...) {
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
  }
};

}  // namespace win
