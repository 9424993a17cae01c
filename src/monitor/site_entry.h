// One record per monitored site of a run. The main window keeps the records of a run
// where they never move until every worker has ended; each worker reads its own record
// for its whole life. Only lastCode changes after the worker starts, and only on the
// main window's thread (the worker never reads it).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "monitor/monitor_settings.h"
#include "monitor/site_owner.h"

struct SiteEntry {
  int32_t index = 0;          // 1-based position in the site list; names the site in events
  HANDLE thread = nullptr;    // the worker; empty when it could not be started
  int32_t interval = 0;       // seconds between checks
  int32_t retryCount = 0;     // retries after a failed attempt
  int32_t retryInterval = 0;  // seconds between retries
  int32_t lastCode = 200;     // last event code the main window handled for this site
  HWND window = nullptr;      // where the worker sends its events
  std::wstring url;           // the whole line, however long
  SiteOwner* owner = nullptr; // reminder setting and reminder requests
};

inline SiteEntry MakeSiteEntry(int32_t index, const MonitorSettings& settings, HWND window, SiteOwner* owner,
                               const std::wstring& url) {
  SiteEntry entry;
  entry.index = index;
  entry.interval = settings.intervalSeconds;
  entry.retryCount = settings.retryCount;
  entry.retryInterval = settings.retryIntervalSeconds;
  entry.window = window;
  entry.owner = owner;
  entry.url = url;
  return entry;
}
