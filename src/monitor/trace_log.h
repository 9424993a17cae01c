// The workers' diagnostic trace. Nothing is ever written to a file: a trace line goes to
// the debugger's output only, so a developer can follow a run with a debug viewer.
#pragma once

#include <string>

// The log folder the traces are attributed to (the data folder's log subfolder).
// Set by the main window before a run; read by the workers.
void SetTraceLogFolder(const std::wstring& folder);
std::wstring TraceLogFolder();

// Takes one trace line (narrow text in the system code page); keeps nothing, writes no
// file and returns true at once.
bool TraceLog(const std::wstring& logFolder, const std::string& text);

// A wide trace line converted to the system code page.
std::string ToTraceText(const std::wstring& text);
