#include "monitor/trace_log.h"

#include <windows.h>

void TraceLog(const std::wstring& text) {
  std::string line;
  if (!text.empty()) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    if (size > 0) {
      line.assign(static_cast<size_t>(size), '\0');
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), line.data(), size, nullptr, nullptr);
    }
  }
  OutputDebugStringA((line + "\n").c_str());
}
