// The workers' diagnostic trace. Nothing is ever written to a file: a trace line goes to
// the debugger's output only, in the system code page, so a developer can follow a run
// with a debug viewer.
#pragma once

#include <string>

void TraceLog(const std::wstring& text);
