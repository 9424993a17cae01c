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
// its parent for the text of each line it draws or is asked for, so other programs read
// the log with LVM_GETITEMCOUNT and LVM_GETITEMTEXTW.
//
// A new line is in the list at once: its number and its text are current as soon as Add
// returns. Only the drawing waits: drawing the list costs milliseconds, and the sites'
// checks end in bursts, so the list is drawn once, a moment (kDrawDelayMs) after the first
// line of a burst, or at once with DrawNow (before a popup draws the eye).
class RunLogView {
 public:
  static constexpr UINT kDrawDelayMs = 100;

  RunLogView() = default;
  ~RunLogView();
  RunLogView(const RunLogView&) = delete;
  RunLogView& operator=(const RunLogView&) = delete;

  // Takes the list view and makes its one column ("监控日志", hidden with the header), as
  // wide as the control's client area less 30 pixels at 96 DPI (scaled with the screen).
  void Attach(HWND list);
  // Gives the column that width again, after the control was resized for a new DPI.
  void FitColumn();

  // Puts text on top as the newest line. The selected lines, the focus and the anchor of
  // a Shift-click stay on their lines, which move down by one.
  void Add(std::wstring text);
  // Empties the log at once.
  void Clear();
  // Draws the lines that wait to be drawn now.
  void DrawNow();

  // The parent's WM_NOTIFY: answers the list view's request for a line's text; false when
  // the notification is not such a request from this log.
  bool AnswerTextRequest(LPARAM notification) const;
  // The parent's WM_NOTIFY: answers the list view's search for a line (typing in the log
  // finds the next line that starts with the typed text), with the line's number or -1 in
  // result; false when the notification is not such a search of this log.
  bool AnswerFindRequest(LPARAM notification, LRESULT& result) const;

 private:
  static void CALLBACK OnDrawTimer(HWND list, UINT message, UINT_PTR self, DWORD time) noexcept;
  void HoldDrawing();
  void ResumeDrawing();
  void FollowLinesDown(int count);

  HWND list_ = nullptr;
  bool drawTimer_ = false;          // the drawing is held, and the timer that resumes it runs
  std::deque<std::wstring> lines_;  // newest first, as many as the list view knows of
};
