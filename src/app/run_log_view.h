// The run log on screen: a report-style list view with one column and no header, newest
// line on top. User-interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Makes the log's one column ("监控日志", hidden with the header), as wide as the control's
// client area less 30 pixels.
void InitRunLogColumn(HWND list);

// Inserts text as the first line.
void AddLogLine(HWND list, const std::wstring& text);

// Empties the log.
void ClearRunLog(HWND list);

// The lines from the top (newest) down.
std::vector<std::wstring> RunLogLines(HWND list);
