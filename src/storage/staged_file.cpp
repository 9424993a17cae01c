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

// The process id in "<target>.<pid>.tmp", or 0 when the name has another shape.
DWORD TempFileOwner(std::wstring_view name, std::wstring_view targetName) {
  constexpr std::wstring_view kSuffix = L".tmp";
  if (name.size() <= targetName.size() + 1 + kSuffix.size()) return 0;
  if (name.substr(name.size() - kSuffix.size()) != kSuffix) return 0;
  const std::wstring_view digits =
      name.substr(targetName.size() + 1, name.size() - targetName.size() - 1 - kSuffix.size());
  if (digits.size() > 10) return 0;
  unsigned long long pid = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return 0;
    pid = pid * 10 + static_cast<unsigned>(c - L'0');
  }
  return pid <= MAXDWORD ? static_cast<DWORD>(pid) : 0;
}

bool ProcessIsGone(DWORD pid) {
  win::KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (process) {
    DWORD code = 0;
    return GetExitCodeProcess(process.Get(), &code) && code != STILL_ACTIVE;
  }
  return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process; access denied means alive
}

}  // namespace

void RemoveStaleTempFiles(const std::wstring& target) {
  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
  const std::wstring targetName = target.substr(folder.size());
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(LongPathForm(target + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring_view name = found.cFileName;
    if (name.substr(0, targetName.size()) != targetName) continue;
    const DWORD owner = TempFileOwner(name, targetName);
    if (owner != 0 && owner != GetCurrentProcessId() && ProcessIsGone(owner)) {
      DeleteFileW(LongPathForm(folder + std::wstring(name)).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

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
  RemoveStaleTempFiles(target_);
  return true;
}

bool ReplaceFileContents(const std::wstring& path, std::string_view bytes) {
  if (IsReadOnlyFile(path)) return false;
  StagedFile staged(path, bytes);
  return staged.Staged() && staged.Commit();
}
