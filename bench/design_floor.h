// The floor of the design's own work while a run watches its sites: one thread per site
// that waits a second at a time, and at every interval one bare check per site, all at the
// same second. Run as a process of its own beside the program, so that the program's CPU
// can be read as a ratio to this floor, measured at the same time on the same machine.
#pragma once

#include <windows.h>

#include <string>

// The flag that makes the benchmark program run the floor: --design-floor URL SITES SECONDS.
inline constexpr char kDesignFloorFlag[] = "--design-floor";

// The floor's own body, in the process started with the flag: runs until it is ended.
int RunDesignFloor(const std::wstring& url, int sites, int intervalSeconds);

// The floor started as a process of this program; ended when this goes.
class DesignFloorProcess {
 public:
  DesignFloorProcess() = default;
  ~DesignFloorProcess();
  DesignFloorProcess(const DesignFloorProcess&) = delete;
  DesignFloorProcess& operator=(const DesignFloorProcess&) = delete;

  bool Start(const std::wstring& url, int sites, int intervalSeconds);
  HANDLE Process() const { return info_.hProcess; }

 private:
  PROCESS_INFORMATION info_{};
};
