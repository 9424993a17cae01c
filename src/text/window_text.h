// Texts the system holds for the program: a window's or control's text and a string of the
// program's string table.
#pragma once

#include <windows.h>

#include <string>

// The whole text of the window (empty when it has none or cannot be read).
std::wstring WindowText(HWND window);

// String `id` of the program's string table, whole; empty when there is none.
std::wstring ResourceString(UINT id);
