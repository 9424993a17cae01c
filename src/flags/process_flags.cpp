#include "flags/process_flags.h"

std::atomic<bool> g_bStop{false};
std::atomic<bool> g_bQuit{false};
std::atomic<bool> g_bSignedIn{false};
