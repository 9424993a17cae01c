// The process-wide flags shared by the window thread and the background threads. They are
// reached only where a thread starts or a seam is wired (the main window, the sign-in
// dialog, the thread entries); everything else takes the flag it needs by reference.
#pragma once

#include <atomic>

extern std::atomic<bool> g_bStop;      // the current run is to end
extern std::atomic<bool> g_bQuit;      // the main window is being destroyed: every thread ends
extern std::atomic<bool> g_bSignedIn;  // the user counts as signed in
