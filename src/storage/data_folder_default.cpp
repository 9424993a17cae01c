// The program's data folder goes in the user's roaming application-data folder (kept in a
// file of its own, so that tests and the test build of the program link another folder).
#include <windows.h>
#include <shlobj.h>

#include "storage/data_paths.h"

std::wstring DefaultDataBaseFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return {};
  return folder;
}
