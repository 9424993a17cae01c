// The run log on screen: a report-style list view with one column and no header, newest
// line on top. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Makes the log's one column ("监控日志", hidden with the header), as wide as the control's
// client area less 30 pixels at 96 DPI (scaled with the screen).
void InitRunLogColumn(HWND list);

// Gives the column that width again, after the control was resized for a new DPI.
void FitRunLogColumn(HWND list);

// Inserts text as the first line.
void AddLogLine(HWND list, const std::wstring& text);

// Empties the log.
void ClearRunLog(HWND list);

// The lines from the top (newest) down.
std::vector<std::wstring> RunLogLines(HWND list);
