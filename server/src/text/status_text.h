// The program's own text for a status code it reports (its run log shows the same words),
// so a reminder mail reads like the program does.
#pragma once

#include <string_view>

std::string_view StatusText(int code);
