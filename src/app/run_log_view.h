// The run log on screen: a report-style list view with one column and no header, newest
// line on top, holding at most kRunLogMaxLines lines. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>

// The most lines the log keeps; when a line arrives at a full log, the oldest one goes.
// A week of watching many sites would otherwise fill the memory.
inline constexpr int kRunLogMaxLines = 10000;

class RunLogView {
 public:
  // Takes the list view and makes its one column ("监控日志", hidden with the header), as
  // wide as the control's client area less 30 pixels.
  void Attach(HWND list);

  // Puts text on top as the newest line.
  void Add(const std::wstring& text);
  // Empties the log.
  void Clear();

 private:
  HWND list_ = nullptr;
};
