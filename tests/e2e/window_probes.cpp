#include "window_probes.h"

#include <shlobj.h>

DWORD ResponseWatch::Probe() {
  const ULONGLONG start = NowMs();
  DWORD_PTR ignored = 0;
  const bool answered =
      ::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, limitMs_, &ignored) != 0;
  const DWORD took = answered ? static_cast<DWORD>(NowMs() - start) : limitMs_;
  ++probes_;
  if (!answered) ++misses_;
  if (took > worstMs_) worstMs_ = took;
  return took;
}

ULONGLONG NowMs() { return ::GetTickCount64(); }

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, ResponseWatch* watch) {
  const ULONGLONG end = NowMs() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (NowMs() >= end) return false;
    if (watch) watch->Probe();
    ::Sleep(50);
  }
}

void PostClick(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

namespace {

struct OtherWindowSearch {
  HWND except;
  DWORD processId;
  int controlId;
  HWND found;
};

BOOL CALLBACK MatchOtherWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<OtherWindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && window != search->except && ::IsWindowVisible(window) &&
      ::GetDlgItem(window, search->controlId)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindOtherWindowWithControl(HWND window, int controlId) {
  OtherWindowSearch search{window, 0, controlId, nullptr};
  ::GetWindowThreadProcessId(window, &search.processId);
  ::EnumWindows(&MatchOtherWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ProgramDataFile(const wchar_t* name) {
  wchar_t appData[MAX_PATH] = {};
  ::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
  return std::wstring(appData) + L"\\TarnSiteMonitor\\" + name;
}

std::wstring ProgramBesideTest(const wchar_t* exeName) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + exeName;
}
