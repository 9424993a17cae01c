// Well-formed UTF-8, character by character: what the log writes readably and what the
// pages accept in a form.
#pragma once

#include <cstddef>
#include <string_view>

// Length of the well-formed UTF-8 sequence at the start of `text` (2 to 4), or 0. C1
// controls (U+0080 to U+009F) and the line and paragraph separators count as malformed.
size_t Utf8SequenceLength(std::string_view text);
