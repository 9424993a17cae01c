// The run log on screen: a report-style list view with one column and no header, newest
// line on top, holding at most kRunLogMaxLines lines. User-interface thread only.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

// The most lines the log keeps; when a line arrives at a full log, the oldest one goes.
// A week of watching many sites would otherwise fill the memory.
inline constexpr int kRunLogMaxLines = 10000;

// The lines live here; the list view (an owner-data one) holds only their number and asks
// its parent for the text of each line it draws or is asked for, so other programs still
// read the log with LVM_GETITEMCOUNT and LVM_GETITEMTEXTW.
//
// Telling the list view a new number of lines makes it update its scroll bar and draw its
// lines again, which costs milliseconds. The sites' checks end in bursts, so Add shows new
// lines together a moment after the first of them (kShowDelayMs): a burst of lines costs
// one update and one drawing. Until then the list view keeps showing the lines it knows.
// Lines a user's action writes are shown at once with ShowNewLines.
class RunLogView {
 public:
  static constexpr UINT kShowDelayMs = 500;

  RunLogView() = default;
  ~RunLogView();
  RunLogView(const RunLogView&) = delete;
  RunLogView& operator=(const RunLogView&) = delete;

  // Takes the list view and makes its one column ("监控日志", hidden with the header), as
  // wide as the control's client area less 30 pixels at 96 DPI (scaled with the screen).
  void Attach(HWND list);
  // Gives the column that width again, after the control was resized for a new DPI.
  void FitColumn();

  // Puts text on top as the newest line.
  void Add(std::wstring text);
  // Empties the log at once.
  void Clear();
  // Tells the list view now about the lines added since it last heard; the selected lines
  // keep their texts.
  void ShowNewLines();

  // Answers the list view's request for a line's text (the parent's WM_NOTIFY); false
  // when the notification is not such a request from this log.
  bool AnswerTextRequest(LPARAM notification) const;

 private:
  static void CALLBACK OnShowTimer(HWND list, UINT message, UINT_PTR self, DWORD time) noexcept;
  void StopShowTimer();

  HWND list_ = nullptr;
  bool showTimer_ = false;          // the timer that shows new lines runs
  int unshown_ = 0;                 // lines on top that the list view does not know yet
  std::deque<std::wstring> lines_;  // newest first; the oldest go when the list view is told
};
