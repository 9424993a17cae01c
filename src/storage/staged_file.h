// Crash-safe replacement of a whole file. The new content goes into a temporary file beside
// the target, is flushed to disk, and only then takes the target's place in one rename, so a
// crash, a power cut or a full disk leaves either the old file or the new one, never a part.
#pragma once

#include <string>
#include <string_view>

class StagedFile {
 public:
  // Writes `bytes` to a temporary file beside `target` and flushes it. Check Staged():
  // staging fails when the folder is missing or unwritable or the disk is full.
  StagedFile(std::wstring target, std::string_view bytes);
  // Removes the temporary file when it was never committed.
  ~StagedFile();

  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool Staged() const { return staged_; }

  // Puts the staged content in the target's place; false (target untouched) on failure.
  // After a replace, removes temporary files beside the target that copies of the
  // program left when they died between staging and replacing.
  bool Commit();

 private:
  std::wstring target_;
  std::wstring tempPath_;
  bool staged_ = false;
};

// Deletes "<target>.<pid>.tmp" files whose process no longer runs (a live process's
// temporary file is left alone: it may be about to replace the target).
void RemoveStaleTempFiles(const std::wstring& target);

// Replaces the whole content of `path` with `bytes` through a StagedFile. An existing
// read-only file is left unchanged, as an open for writing would refuse it. Returns
// whether the file now holds `bytes`.
bool ReplaceFileContents(const std::wstring& path, std::string_view bytes);
