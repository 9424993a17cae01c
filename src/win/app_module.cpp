#include "win/app_module.h"

CAppModule _Module;

void CAppModule::Init(HINSTANCE instance) {
  instance_ = instance;
  std::lock_guard<std::mutex> guard(lock_);
  loops_.clear();
}

void CAppModule::Term() {
  std::lock_guard<std::mutex> guard(lock_);
  loops_.clear();
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
  std::lock_guard<std::mutex> guard(lock_);
  return loops_.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
  std::lock_guard<std::mutex> guard(lock_);
  return loops_.erase(::GetCurrentThreadId()) > 0;
}

CMessageLoop* CAppModule::GetMessageLoop() const {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = loops_.find(::GetCurrentThreadId());
  return it == loops_.end() ? nullptr : it->second;
}
