// A fresh folder under /tmp for one test, removed with everything in it afterwards, and the
// small waits and reads tests share.
#pragma once

#include <functional>
#include <string>

class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Checks `condition` every 20 ms until it holds; false when `seconds` pass first.
bool WaitUntil(const std::function<bool()>& condition, double seconds);
// The whole content of a file, "" when it cannot be read.
std::string FileText(const std::string& path);
// How many times `part` stands in `text`.
size_t Occurrences(const std::string& text, const std::string& part);
