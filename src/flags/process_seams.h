// The process-wide values that tests replace, all in one place. Each is the program's own
// unless a test (or the test build of the program, before its entry runs) has set another
// here; the program itself never sets them. The parts of the program that talk to the
// platform through an interface (the site-check worker, the account-service transport)
// are replaced by handing them another object instead; these are the values a test cannot
// hand over because they are read deep inside a run.
//   data folder:      storage/data_paths.h     DefaultDataBaseFolder()
//   account service:  account/service_post.h   DefaultServiceHost(), DefaultServicePort()
//   workers' tick:    monitor/site_check_thread.h  WorkerTickMilliseconds()
//   network state:    monitor/network_state.h  IsNetworkUpShared()
#pragma once

#include <atomic>
#include <string>

struct ProcessSeams {
  // Set before any thread starts that reads them.
  std::wstring dataBaseFolder;  // empty: the user's application-data folder
  std::wstring serviceHost;     // empty: the build's account-service host and port
  unsigned short servicePort = 0;
  // May change at any time; read at every use.
  std::atomic<unsigned long (*)()> workerTick{nullptr};  // nullptr: one second
  std::atomic<bool (*)()> networkProbe{nullptr};         // nullptr: ask the system
};

ProcessSeams& Seams();
