#include "design_floor.h"

#include <thread>
#include <vector>

#include "check_cost_bench.h"

int RunDesignFloor(const std::wstring& url, int sites, int intervalSeconds) {
  // The threads tick together from the same start, as a run's workers do, and check at the
  // same second; they never end: the measuring process ends this one.
  std::vector<std::thread> threads;
  for (int i = 0; i < sites; ++i) {
    threads.emplace_back([url, intervalSeconds] {
      for (long tick = 1;; ++tick) {
        Sleep(1000);
        if (tick % intervalSeconds == 0) BareWinInetCheck(url);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  return 0;
}

DesignFloorProcess::~DesignFloorProcess() {
  if (!info_.hProcess) return;
  TerminateProcess(info_.hProcess, 0);
  WaitForSingleObject(info_.hProcess, 10000);
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool DesignFloorProcess::Start(const std::wstring& url, int sites, int intervalSeconds) {
  std::wstring own(32768, L'\0');
  own.resize(GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size())));
  std::wstring command = L"\"" + own + L"\" " + std::wstring(kDesignFloorFlag, kDesignFloorFlag + sizeof kDesignFloorFlag - 1) +
                         L" " + url + L" " + std::to_wstring(sites) + L" " + std::to_wstring(intervalSeconds);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_) != FALSE;
}
