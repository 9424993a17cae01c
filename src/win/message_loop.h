// The user-interface thread's message loop with message filters (offered each message
// before it is dispatched, newest first) and idle handlers (called once when the queue
// runs empty after a message that is worth an idle pass).
#pragma once

#include <windows.h>

#include <vector>

class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  // True when the filter consumed the message.
  virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CIdleHandler {
 public:
  virtual ~CIdleHandler() = default;
  // Whether more idle calls are wanted (the loop does one pass either way).
  virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
 public:
  bool AddMessageFilter(CMessageFilter* filter);
  bool RemoveMessageFilter(CMessageFilter* filter);
  bool AddIdleHandler(CIdleHandler* handler);
  bool RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT and returns its wParam.
  int Run();

  // Mouse moves, painting and the caret-blink timer do not earn another idle pass.
  static bool IsIdleMessage(const MSG& msg);

 private:
  bool PreTranslateMessage(MSG* msg);
  void OnIdle();

  // Non-owning, in order of registration; entries may come and go while the loop runs,
  // so both lists are walked by index over a copy.
  std::vector<CMessageFilter*> filters_;
  std::vector<CIdleHandler*> idleHandlers_;
  MSG msg_{};
};
