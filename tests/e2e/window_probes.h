// Measures, from outside, how the real program's windows behave while it waits on the
// network: how fast its window thread answers, how long an action takes to show its
// effect, and the windows it opens.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "temp_folder.h"

// The worst answer time of a window over many probes. A probe that gets no answer within
// the limit counts as the limit and as a miss.
class ResponseWatch {
 public:
  explicit ResponseWatch(HWND window, DWORD limitMs = 2000) : window_(window), limitMs_(limitMs) {}

  // Sends WM_NULL and waits for the answer; the time it took.
  DWORD Probe();
  DWORD WorstMs() const { return worstMs_; }
  int Probes() const { return probes_; }
  int Misses() const { return misses_; }

 private:
  HWND window_;
  DWORD limitMs_;
  DWORD worstMs_ = 0;
  int probes_ = 0;
  int misses_ = 0;
};

// Milliseconds on a clock that never goes back.
ULONGLONG NowMs();

// Checks done() every 50 ms until it holds or timeoutMs has passed, probing the window
// between checks when a watch is given. True when done() held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, ResponseWatch* watch = nullptr);

// Presses a button without waiting for its handler (which may run a modal dialog or a
// long wait): the click is queued to the button's thread.
void PostClick(HWND button);

// The first visible top-level window of the process for which match() holds, or nullptr.
HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& match);

// A visible top-level window of the process that owns `window`, other than `window`
// itself, with a child control of this id; nullptr when there is none.
HWND FindOtherWindowWithControl(HWND window, int controlId);

// The place and pace of the programs a test starts from now on: a data folder under a
// fresh temporary folder of the test's own (never the user's profile) and the workers'
// tick, both set in this process's environment, which the programs inherit.
class ProgramSurroundings {
 public:
  explicit ProgramSurroundings(unsigned long workerTickMs);
  ~ProgramSurroundings();
  ProgramSurroundings(const ProgramSurroundings&) = delete;
  ProgramSurroundings& operator=(const ProgramSurroundings&) = delete;

  // A file in the programs' data folder.
  std::wstring DataFile(const wchar_t* name) const;

 private:
  TempFolder base_;
};

// A program beside this test executable.
std::wstring ProgramBesideTest(const wchar_t* exeName);
