// Plain file access for the data files: paths of any length, and reads that mirror opening
// an existing file for reading and writing (a missing, read-only or locked file is not read).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Plain Win32 paths stop short of MAX_PATH (a folder at 248 characters); from this length
// on, paths go to the system in their "\\?\" form.
inline constexpr std::size_t kLongPathFrom = 248;

// The form of `path` that the file functions accept at any length: an absolute path of
// kLongPathFrom characters or more gets the "\\?\" prefix (or "\\?\UNC\" for a share);
// shorter or relative paths are returned unchanged.
std::wstring LongPathForm(const std::wstring& path);

// Reads at most `maxBytes` bytes from the start of an existing file opened for reading and
// writing. No value when the file is missing, read-only, a folder, locked, or unreadable.
std::optional<std::string> ReadWritableFile(const std::wstring& path, std::size_t maxBytes);

// True when `path` names an existing file or folder carrying the read-only attribute.
bool IsReadOnlyFile(const std::wstring& path);
