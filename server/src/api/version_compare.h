// Program versions are dotted numbers ("1.1.0.2").
#pragma once

#include <string_view>

// True when `version` is older than `latest`, comparing the numbers part by part (a
// missing part counts as 0). A text that is not a dotted number is never older: the
// service offers no update it cannot judge.
bool IsOlderVersion(std::string_view version, std::string_view latest);

// True for a dotted number of 1 to 4 parts, each 1 to 9 digits.
bool IsVersionText(std::string_view text);
