// Test support: a fresh folder under the temporary folder, removed with everything in it
// (read-only files and long paths included) when the test ends; and raw file access.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const {
    return path_ + L"\\" + std::wstring(name);
  }

 private:
  std::wstring path_;
};

// The file's bytes, or no value when it cannot be read.
std::optional<std::string> ReadAllBytes(const std::wstring& path);
// Creates or overwrites the file with exactly `bytes`.
bool WriteAllBytes(const std::wstring& path, std::string_view bytes);
bool SetReadOnly(const std::wstring& path, bool readOnly);
bool FolderExists(const std::wstring& path);
bool PathExists(const std::wstring& path);
