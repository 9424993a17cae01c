// A fresh folder under /tmp for one test, removed with everything in it afterwards.
#pragma once

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

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();
// Waits until something accepts connections on 127.0.0.1:port; false after `seconds`.
bool WaitForPort(int port, double seconds);
