#include "window_probes.h"

#include "test_seams.h"
#include "wait_until.h"

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
  // The program is asked every 50 ms at most, so that the asking does not load it.
  ULONGLONG next = 0;
  return test_support::WaitUntil(
      [&] {
        if (NowMs() < next) return false;
        next = NowMs() + 50;
        if (done()) return true;
        if (watch) watch->Probe();
        return false;
      },
      timeoutMs);
}

void PostClick(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

namespace {

struct WindowSearch {
  DWORD processId;
  const std::function<bool(HWND)>& match;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !::IsWindowVisible(window) || !search->match(window)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& match) {
  WindowSearch search{processId, match, nullptr};
  ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindOtherWindowWithControl(HWND window, int controlId) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  return FindProcessWindow(processId, [&](HWND other) { return other != window && ::GetDlgItem(other, controlId); });
}

ProgramSurroundings::ProgramSurroundings(unsigned long workerTickMs) {
  ::SetEnvironmentVariableW(test_support::kDataFolderVariable, base_.Path().c_str());
  ::SetEnvironmentVariableW(test_support::kWorkerTickVariable, std::to_wstring(workerTickMs).c_str());
}

ProgramSurroundings::~ProgramSurroundings() {
  ::SetEnvironmentVariableW(test_support::kDataFolderVariable, nullptr);
  ::SetEnvironmentVariableW(test_support::kWorkerTickVariable, nullptr);
}

std::wstring ProgramSurroundings::DataFile(const wchar_t* name) const {
  return base_ / (std::wstring(L"TarnSiteMonitor\\") + name);
}

std::wstring ProgramBesideTest(const wchar_t* exeName) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + exeName;
}
