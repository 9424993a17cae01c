// site.txt: the monitored addresses, one per line joined by CR LF, in the system ANSI code
// page, with no byte-order mark and no terminator.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Far above the longest list a run stores (1023 characters, two bytes each at most); a
// larger file is read up to here.
inline constexpr std::size_t kMaxSiteFileBytes = 64 * 1024;

// The file's text up to its first NUL byte, not normalised. No value when the file cannot
// be opened for reading and writing (missing, read-only, locked): the caller then shows the
// default address. An empty file gives the empty text.
std::optional<std::wstring> ReadSiteFile(const std::wstring& path);

// Stores `text` (up to an embedded NUL) converted to the ANSI code page, replacing the file
// in one step so that a crash leaves the previous list intact. A read-only file is left as it
// is. Returns whether the text was stored.
bool WriteSiteFile(const std::wstring& path, std::wstring_view text);
