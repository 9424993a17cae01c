// Test support for the main window: a window made in-process over its own data folder,
// driven with messages, and read back through its controls.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window/main_dlg.h"
#include "win/message_loop.h"
#include "monitor/monitor_events.h"
#include "temp_folder.h"

class MainWindowHarness {
 public:
  // Makes the data folder under a fresh temporary folder; files may be put there before
  // the window is opened.
  MainWindowHarness();
  ~MainWindowHarness();

  const TempFolder& Base() const { return base_; }
  std::wstring DataFile(const wchar_t* name) const { return base_ / (std::wstring(L"TarnSiteMonitor\\") + name); }

  // Creates and shows the window; false when it could not be created.
  bool Open();
  CMainDlg& Dialog() { return *dialog_; }
  HWND Window() const { return window_; }
  HWND Control(int id) const { return ::GetDlgItem(window_, id); }

  std::wstring Text(int id) const;
  std::wstring ComboText(int id) const;
  // The log's lines, newest first, as another program reads them.
  std::vector<std::wstring> Log();
  bool Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }
  void Click(int id) const { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
  void SetSites(const std::wstring& text) const { ::SetDlgItemTextW(window_, IDC_SITES, text.c_str()); }
  // An event as a worker sends it, then whatever it queued (the tooltip) is handled.
  void Event(int index, int code);
  // Handles the messages queued now.
  void Pump() { PumpUntil([] { return false; }, 0); }

  // Handles messages the way the program's loop does until done() or the time-out.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
  // Runs the program's message loop until the quit message; returns its code.
  int RunLoop() { return loop_.Run(); }
  bool WindowGone() const { return !::IsWindow(window_); }

 private:
  TempFolder base_;
  CMessageLoop loop_;
  std::unique_ptr<CMainDlg> dialog_;
  HWND window_ = nullptr;
};
