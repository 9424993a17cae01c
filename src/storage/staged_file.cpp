#include "storage/staged_file.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "storage/file_access.h"
#include "win/unique_handle.h"

namespace {

// One temporary name per process, so two running copies of the program never write into
// each other's temporary file.
std::wstring TempPathFor(const std::wstring& target) {
  return target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), wanted, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

StagedFile::StagedFile(std::wstring target, std::string_view bytes)
    : target_(std::move(target)), tempPath_(TempPathFor(target_)) {
  win::FileHandle file(CreateFileW(LongPathForm(tempPath_).c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  // A delayed write error can surface only at the close.
  const bool closed = CloseHandle(file.Release()) != FALSE;
  staged_ = written && closed;
  if (!staged_) DeleteFileW(LongPathForm(tempPath_).c_str());
}

StagedFile::~StagedFile() {
  if (staged_) DeleteFileW(LongPathForm(tempPath_).c_str());
}

bool StagedFile::Commit() {
  if (!staged_) return false;
  if (!MoveFileExW(LongPathForm(tempPath_).c_str(), LongPathForm(target_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;  // the destructor removes the temporary file
  }
  staged_ = false;
  return true;
}

bool ReplaceFileContents(const std::wstring& path, std::string_view bytes) {
  if (IsReadOnlyFile(path)) return false;
  StagedFile staged(path, bytes);
  return staged.Staged() && staged.Commit();
}
