// Base for dialog classes made from a dialog template (T::IDD). The class T supplies
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result);
// which reports whether it handled a message and its result; unhandled messages get the
// default dialog processing. The object is bound to its window at WM_INITDIALOG.
// The dialog procedure is the error boundary: a handler that throws (out of memory while
// building a text) leaves its message to the default processing, so no handler needs a
// try of its own and nothing crosses into the system.
#pragma once

#include <windows.h>

namespace win {

template <class T>
class DialogImpl {
 public:
  DialogImpl() = default;
  DialogImpl(const DialogImpl&) = delete;
  DialogImpl& operator=(const DialogImpl&) = delete;
  virtual ~DialogImpl() = default;

  // Modeless: returns the window, or nullptr when it could not be created.
  HWND Create(HWND parent) {
    return ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent, &StartProc,
                                reinterpret_cast<LPARAM>(this));
  }

  // Modal: returns the result given to EndDialog, or -1 when the dialog could not be made.
  INT_PTR DoModal(HWND parent) {
    return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent, &StartProc,
                             reinterpret_cast<LPARAM>(this));
  }

  BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }
  BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

  HWND m_hWnd = nullptr;

 protected:
  // Called after the window is gone (WM_NCDESTROY); the object may delete itself here.
  virtual void OnFinalMessage(HWND) {}

  static HINSTANCE ModuleInstance() { return ::GetModuleHandleW(nullptr); }

 private:
  static T* FromWindow(HWND hwnd) {
    return static_cast<T*>(reinterpret_cast<DialogImpl*>(::GetWindowLongPtrW(hwnd, DWLP_USER)));
  }

  static INT_PTR CALLBACK StartProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<DialogImpl*>(lParam);
      self->m_hWnd = hwnd;
      ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    T* self = FromWindow(hwnd);
    if (!self) return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT): default processing
    LRESULT result = 0;
    bool handled = false;
    try {
      handled = self->ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    } catch (...) {
      handled = false;
      result = 0;
    }
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->m_hWnd = nullptr;
      static_cast<DialogImpl*>(self)->OnFinalMessage(hwnd);  // may delete the object
      return handled ? TRUE : FALSE;
    }
    if (!handled) return FALSE;
    return DialogResult(hwnd, message, result);
  }

  // A dialog procedure returns some results directly and the others through DWLP_MSGRESULT.
  static INT_PTR DialogResult(HWND hwnd, UINT message, LRESULT result) {
    switch (message) {
      case WM_COMPAREITEM:
      case WM_VKEYTOITEM:
      case WM_CHARTOITEM:
      case WM_INITDIALOG:
      case WM_QUERYDRAGICON:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(result);
      default:
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
  }
};

}  // namespace win
