#include "monitor/trace_log.h"

#include <windows.h>

#include <mutex>

namespace {

// Written by the window thread, read by every worker: one lock guards it.
std::mutex g_folderMutex;
std::wstring g_folder;

}  // namespace

void SetTraceLogFolder(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  g_folder = folder;
}

std::wstring TraceLogFolder() {
  std::lock_guard<std::mutex> lock(g_folderMutex);
  return g_folder;
}

bool TraceLog(const std::wstring& logFolder, const std::string& text) {
  OutputDebugStringA((text + "\n").c_str());
  return true;
}

std::string ToTraceText(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}
