#include "storage/file_access.h"

#include <windows.h>

#include <algorithm>

#include "win/unique_handle.h"

std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() < kLongPathFrom) return path;
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  const bool driveAbsolute = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  return driveAbsolute ? L"\\\\?\\" + path : path;
}

std::optional<std::string> ReadWritableFile(const std::wstring& path, std::size_t maxBytes) {
  // The data files are opened for reading and writing, so a read-only file counts as
  // missing. Windows refuses such an open by itself; the explicit check keeps the rule where
  // the attribute is not enforced (a file system or account that ignores it).
  if (IsReadOnlyFile(path)) return std::nullopt;
  win::FileHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;

  std::string bytes;
  char chunk[4096];
  while (bytes.size() < maxBytes) {
    const std::size_t wanted = std::min(sizeof chunk, maxBytes - bytes.size());
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk, static_cast<DWORD>(wanted), &got, nullptr)) break;
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

bool IsReadOnlyFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}
