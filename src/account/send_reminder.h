// Asks the account service to e-mail the user about a failing (template 1) or recovered
// (template 2) site. Runs on the calling worker's thread and blocks it: up to three
// attempts about nine seconds apart.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "account/service_transport.h"
#include "storage/settings_store.h"

// What the reminder logic waits on and talks to.
struct ReminderSeams {
  ServiceTransport& transport;
  SleepFunction sleep;
  const std::atomic<bool>& quit;  // the program is closing: give up at the next check
};

// True when the service accepted the request (result code 0, parsed reply, "status" 1).
// False without any request when siteAddress is empty, lacks the lower-case "http", or
// the form would be too long. userName and softType come from one snapshot of account.
bool SendReminder(const SettingsStore& account, std::wstring machineId, std::wstring siteAddress,
                  int32_t statusCode, int32_t templateId, const ReminderSeams& seams);

// The production call: WinINet to the build's service host, real one-second sleeps, and
// g_bQuit, which also abandons an exchange under way.
bool SendReminder(const SettingsStore& account, std::wstring machineId, std::wstring siteAddress,
                  int32_t statusCode, int32_t templateId);
