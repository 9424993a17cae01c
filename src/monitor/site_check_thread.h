// The site-check worker thread of a run: the worker's logic wired to WinINet, the
// system's network state and window messages to the main window.
#pragma once

#include <windows.h>

// Thread entry; param is the site's SiteEntry, which must stay valid and in place until
// the thread has ended. Ends after g_bStop or g_bQuit is raised, with EV_THREAD_EXIT sent
// (synchronously) to the entry's window as its last act. Returns 0.
DWORD WINAPI SiteCheckThread(LPVOID param) noexcept;

// The length of the workers' one-second tick: 1000 in the program; tests and the test
// build of the program give a shorter one (ProcessSeams), so that a run of 30-second
// intervals passes in a few seconds.
unsigned long WorkerTickMilliseconds();
