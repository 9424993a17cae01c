// Where the program keeps its files: a folder "TarnSiteMonitor" in the user's roaming
// application-data folder, holding Config.dat and site.txt, with an empty "GetLog"
// subfolder. Paths are plain strings of any length (the file functions accept long ones).
#pragma once

#include <string>
#include <string_view>

struct DataPaths {
  std::wstring siteFile;      // ...\TarnSiteMonitor\site.txt
  std::wstring settingsFile;  // ...\TarnSiteMonitor\Config.dat
  std::wstring logFolder;     // ...\TarnSiteMonitor\GetLog
};

// The folder the program's data folder goes in: the user's roaming application-data
// folder, without asking the shell to create it; empty when it cannot be determined (paths
// then start at the root of the current drive). Tests and the test build of the program
// give a folder of their own (ProcessSeams) and never touch the user's files.
std::wstring DefaultDataBaseFolder();

// `baseFolder`, then "\subfolder" when given (the folder is created with every missing
// parent when it is not a directory yet), then "\file" when given.
std::wstring MakeDataPath(const std::wstring& baseFolder, std::wstring_view subfolder,
                          std::wstring_view file);

// The three paths, made (and the folders created) in the order site file, settings file,
// log folder.
DataPaths MakeDataPaths(const std::wstring& baseFolder);
