// Drives the real program from another process: starts it, finds its main window, types
// into its controls, presses its buttons and reads its run log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win/unique_handle.h"

class ProgramDriver {
 public:
  ProgramDriver() = default;
  // Ends the program if it still runs (a test that failed half-way).
  ~ProgramDriver();
  ProgramDriver(const ProgramDriver&) = delete;
  ProgramDriver& operator=(const ProgramDriver&) = delete;

  // Starts the program and waits until its main window is shown.
  bool Start(const std::wstring& exePath, DWORD timeoutMs = 20000);

  HWND Window() const { return window_; }
  HWND Control(int id) const { return ::GetDlgItem(window_, id); }

  void SetText(int id, const std::wstring& text) const;
  void Select(int id, int index) const;
  void Click(int id) const;
  bool Enabled(int id) const { return ::IsWindowEnabled(Control(id)) != FALSE; }

  // The run log from the top (newest) down, read out of the program's memory.
  std::vector<std::wstring> Log() const;

  // Waits for the program to end; its exit code, or -1 on time-out.
  int WaitForExit(DWORD timeoutMs);

 private:
  win::KernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};
