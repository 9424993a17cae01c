#include "storage/data_paths.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "flags/process_seams.h"
#include "storage/file_access.h"

namespace {

// The shell's folder functions take short paths only; longer folders are made one level at
// a time through the "\\?\" form.
void CreateLongFolder(const std::wstring& folder) {
  for (std::size_t end = folder.find(L'\\', 3);; end = folder.find(L'\\', end + 1)) {
    const std::wstring level = folder.substr(0, end);
    if (!level.empty() && level.back() != L':') {
      CreateDirectoryW(LongPathForm(level).c_str(), nullptr);  // an existing level just fails
    }
    if (end == std::wstring::npos) break;
  }
}

void EnsureFolder(const std::wstring& folder) {
  if (folder.size() < kLongPathFrom) {
    if (!PathIsDirectoryW(folder.c_str())) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  } else {
    CreateLongFolder(folder);
  }
}

}  // namespace

std::wstring DefaultDataBaseFolder() {
  if (!Seams().dataBaseFolder.empty()) return Seams().dataBaseFolder;
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return {};
  return folder;
}

std::wstring MakeDataPath(const std::wstring& baseFolder, std::wstring_view subfolder,
                          std::wstring_view file) {
  std::wstring path = baseFolder;
  if (!subfolder.empty()) {
    path.append(L"\\").append(subfolder);
    EnsureFolder(path);
  }
  if (!file.empty()) path.append(L"\\").append(file);
  return path;
}

DataPaths MakeDataPaths(const std::wstring& baseFolder) {
  DataPaths paths;
  paths.siteFile = MakeDataPath(baseFolder, L"TarnSiteMonitor", L"site.txt");
  paths.settingsFile = MakeDataPath(baseFolder, L"TarnSiteMonitor", L"Config.dat");
  paths.logFolder = MakeDataPath(baseFolder, L"TarnSiteMonitor\\GetLog", L"");
  return paths;
}
