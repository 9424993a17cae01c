// The installers the operator publishes: the files of downloads_dir, newest version
// first, each with its size and SHA-256 (computed once per file and kept until the file
// changes). The folder is looked at again at most every few seconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct Download {
  std::string name;     // the file's name in the folder
  std::string version;  // read from the name ("tarn-setup-1.2.0.exe" -> "1.2.0"); "" when none
  uint64_t size = 0;
  std::string sha256;   // hex
};

// The version in a file name: its first run of digits and dots holding a dot.
std::string VersionInName(const std::string& name);
// Newest version first; equal or missing versions by name.
void SortNewestFirst(std::vector<Download>& downloads);
// A name the shelf serves: a plain file name of letters, digits, ".", "-" and "_", not
// starting with a dot.
bool IsDownloadName(const std::string& name);

class DownloadShelf {
 public:
  explicit DownloadShelf(std::string folder);

  // The current list (empty without a folder).
  std::vector<Download> List();
  // The content of a listed file, read whole; nothing when it is not listed.
  std::optional<std::string> Read(const std::string& name);

 private:
  struct Known {
    int64_t modified = 0;
    Download download;
  };
  void RefreshLocked();

  const std::string folder_;
  std::mutex mutex_;  // guards everything below
  std::chrono::steady_clock::time_point nextLook_{};
  std::map<std::string, Known> known_;
  std::vector<Download> list_;
};
