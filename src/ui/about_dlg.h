// The About box: application icon, title with version and a copyright line. It keeps the
// system colours, has no buttons and closes on a click, Enter or Esc.
#pragma once

#include <windows.h>

#include <string>

#include "res/resource.h"
#include "win/dialog_impl.h"
#include "win/unique_handle.h"

// "<title> v<version>", an empty line, then the copyright line.
std::wstring AboutText(const std::wstring& title, const std::wstring& version);

class CAboutDlg : public win::DialogImpl<CAboutDlg> {
 public:
  enum { IDD = IDD_ABOUTBOX };

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  LRESULT OnInitDialog(WPARAM, LPARAM);
  LRESULT OnLButtonDown(WPARAM, LPARAM);
  LRESULT OnCloseCommand(WPARAM, LPARAM);
  LRESULT OnDpiChanged(WPARAM, LPARAM);
  void ShowIconAtDpi() noexcept;

  win::Icon icon_;  // the application icon at the dialog's DPI, shown by the icon static
};

// Shows the About box modally over `parent` (the caller passes GetActiveWindow()).
void ShowAboutBox(HWND parent);
