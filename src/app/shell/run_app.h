// The program's run step: the message loop and the main window, from creation to the
// quit message.
#pragma once

#include <windows.h>

// Registers a message loop for this thread, creates and shows the main window and runs
// the loop. Returns the loop's exit code (2 after the cancel command, 0 after the tray's
// exit command), or 0 when the main window cannot be created.
int RunMainWindow(int showCommand);
