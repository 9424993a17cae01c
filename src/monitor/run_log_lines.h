// The lines of the run log: a local time stamp "%4d-%d-%d %02d:%02d:%02d" (year right-aligned
// in four places, month and day without leading zeros) followed by the line's text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Fixed texts of the lines written by start-up, Start and Stop.
inline constexpr wchar_t kStartupText[] = L"软件启动";
inline constexpr wchar_t kRunStartedText[] = L"监控开始运行";
inline constexpr wchar_t kStoppingText[] = L"停止中...";
inline constexpr wchar_t kStoppedText[] = L"监控停止!";

// "2025-3-7 09:05:02"
std::wstring FormatTimeStamp(const SYSTEMTIME& time);

// "<time> <text>": start-up, run started, stopping, stopped and network lines.
std::wstring PlainLine(const SYSTEMTIME& time, std::wstring_view text);
// "<time> <address> <status text>"
std::wstring SiteLine(const SYSTEMTIME& time, std::wstring_view url, std::wstring_view status);
// "<time> [<index>]<text>": a worker's end.
std::wstring ThreadLine(const SYSTEMTIME& time, int index, std::wstring_view text);
// "<time> 线程[<index>]启动" or, when the worker could not be created, "... 启动失败!".
std::wstring ThreadStartLine(const SYSTEMTIME& time, int index, bool started);

// The local time now.
SYSTEMTIME LocalTimeNow();
