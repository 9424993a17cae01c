#include "web/downloads.h"

#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "api/version_compare.h"

namespace {

constexpr auto kLookEvery = std::chrono::seconds(5);
constexpr uint64_t kLargestFile = 512ull << 20;

std::optional<std::string> FileSha256(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  char buffer[64 * 1024];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    crypto_hash_sha256_update(&state, reinterpret_cast<unsigned char*>(buffer), static_cast<size_t>(file.gcount()));
  }
  unsigned char hash[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, hash);
  char hex[sizeof hash * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return hex;
}

}  // namespace

std::string VersionInName(const std::string& name) {
  for (size_t start = 0; start < name.size(); ++start) {
    if (!std::isdigit(static_cast<unsigned char>(name[start]))) continue;
    size_t end = start;
    while (end < name.size() && (std::isdigit(static_cast<unsigned char>(name[end])) || name[end] == '.')) ++end;
    std::string run = name.substr(start, end - start);
    while (!run.empty() && run.back() == '.') run.pop_back();
    if (run.find('.') != std::string::npos) return run;
    start = end;
  }
  return "";
}

void SortNewestFirst(std::vector<Download>& downloads) {
  std::sort(downloads.begin(), downloads.end(), [](const Download& a, const Download& b) {
    if (IsOlderVersion(b.version, a.version)) return true;
    if (IsOlderVersion(a.version, b.version)) return false;
    return a.name < b.name;
  });
}

bool IsDownloadName(const std::string& name) {
  return !name.empty() && name.size() <= 128 && name.front() != '.' &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
         });
}

DownloadShelf::DownloadShelf(std::string folder) : folder_(std::move(folder)) {}

void DownloadShelf::RefreshLocked() {
  const auto now = std::chrono::steady_clock::now();
  if (folder_.empty() || now < nextLook_) return;
  nextLook_ = now + kLookEvery;
  std::map<std::string, Known> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    struct stat facts {};
    if (!IsDownloadName(name) || stat(entry.path().c_str(), &facts) != 0 || !S_ISREG(facts.st_mode) ||
        static_cast<uint64_t>(facts.st_size) > kLargestFile) {
      continue;
    }
    const auto size = static_cast<uint64_t>(facts.st_size);
    const int64_t modified = facts.st_mtim.tv_sec * 1000000000LL + facts.st_mtim.tv_nsec;
    const auto old = known_.find(name);
    if (old != known_.end() && old->second.modified == modified && old->second.download.size == size) {
      found.emplace(name, old->second);
      continue;
    }
    const auto hash = FileSha256(entry.path().string());
    if (hash) found.emplace(name, Known{modified, Download{name, VersionInName(name), size, *hash}});
  }
  known_ = std::move(found);
  list_.clear();
  for (const auto& [name, known] : known_) list_.push_back(known.download);
  SortNewestFirst(list_);
}

std::vector<Download> DownloadShelf::List() {
  std::lock_guard lock(mutex_);
  RefreshLocked();
  return list_;
}

std::optional<std::string> DownloadShelf::Read(const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    RefreshLocked();
    if (!IsDownloadName(name) || known_.find(name) == known_.end()) return std::nullopt;
  }
  std::ifstream file(folder_ + "/" + name, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
