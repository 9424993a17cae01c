// The application module: the instance handle and the table that tells which message loop
// belongs to which thread (only the user-interface thread registers one).
#pragma once

#include <windows.h>

#include <map>
#include <mutex>

class CMessageLoop;

class CAppModule {
 public:
  void Init(HINSTANCE instance);
  void Term();

  HINSTANCE GetModuleInstance() const { return instance_; }

  bool AddMessageLoop(CMessageLoop* loop);  // for the calling thread
  bool RemoveMessageLoop();                 // the calling thread's
  CMessageLoop* GetMessageLoop() const;     // the calling thread's, or nullptr

 private:
  HINSTANCE instance_ = nullptr;
  mutable std::mutex lock_;  // guards loops_
  std::map<DWORD, CMessageLoop*> loops_;
};

extern CAppModule _Module;
