#include "monitor/run_log_lines.h"

#include <cwchar>

std::wstring FormatTimeStamp(const SYSTEMTIME& time) {
  wchar_t text[64] = {};
  std::swprintf(text, sizeof text / sizeof text[0], L"%4d-%d-%d %02d:%02d:%02d", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond);
  return text;
}

std::wstring PlainLine(const SYSTEMTIME& time, std::wstring_view text) {
  std::wstring line = FormatTimeStamp(time);
  line += L' ';
  line += text;
  return line;
}

std::wstring SiteLine(const SYSTEMTIME& time, std::wstring_view url, std::wstring_view status) {
  std::wstring line = PlainLine(time, url);
  line += L' ';
  line += status;
  return line;
}

std::wstring ThreadLine(const SYSTEMTIME& time, int index, std::wstring_view text) {
  std::wstring line = FormatTimeStamp(time);
  line += L" [";
  line += std::to_wstring(index);
  line += L']';
  line += text;
  return line;
}

std::wstring ThreadStartLine(const SYSTEMTIME& time, int index, bool started) {
  std::wstring line = FormatTimeStamp(time);
  line += L" 线程[";
  line += std::to_wstring(index);
  line += started ? L"]启动" : L"]启动失败!";
  return line;
}

SYSTEMTIME LocalTimeNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return now;
}
