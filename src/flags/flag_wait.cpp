#include "flags/flag_wait.h"

#include <windows.h>

namespace {

// The waiters hold the lock shared, so the many workers that wake at the same moment
// do not queue for it; raising takes it exclusively, so no waiter can miss the raise
// between reading the flags and going to sleep.
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_raised = CONDITION_VARIABLE_INIT;

}  // namespace

void RaiseFlag(std::atomic<bool>& flag) {
  AcquireSRWLockExclusive(&g_lock);
  flag = true;
  ReleaseSRWLockExclusive(&g_lock);
  WakeAllConditionVariable(&g_raised);
}

void WaitUnlessRaised(unsigned long milliseconds, const std::atomic<bool>& stop, const std::atomic<bool>& quit) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  AcquireSRWLockShared(&g_lock);
  for (ULONGLONG now = GetTickCount64(); !stop && !quit && now < end; now = GetTickCount64()) {
    SleepConditionVariableSRW(&g_raised, &g_lock, static_cast<DWORD>(end - now), CONDITION_VARIABLE_LOCKMODE_SHARED);
  }
  ReleaseSRWLockShared(&g_lock);
}
