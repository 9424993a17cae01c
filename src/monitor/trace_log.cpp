#include "monitor/trace_log.h"

#include <windows.h>

#include "text/code_page.h"

void TraceLog(const std::wstring& text) {
  OutputDebugStringA((WideToCodePage(text, CP_ACP) + "\n").c_str());
}
