// The service-information poller: asks the account service now and then for the
// account's state, a new-version flag and a notice, keeps the account fields of the
// settings record and the signed-in flag up to date, and reports to the main window.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "account/service_transport.h"
#include "storage/settings_store.h"

class ReplyDocument;

// Where the poller's reports go (the main window in production).
class AccountSink {
 public:
  virtual ~AccountSink() = default;
  // kAccountSignedOut, kAccountSignedIn or kAccountNewVersion; delivered later (posted).
  virtual void PostState(WPARAM state) = 0;
  // A notice; returns once it has been handled, so the text needs to live only this long.
  virtual void SendNotice(const std::wstring& text) = 0;
};

// Posts and sends WM_ACCOUNTSTATE to a window. A window that no longer exists simply
// does not receive them.
class WindowAccountSink final : public AccountSink {
 public:
  explicit WindowAccountSink(HWND window) : window_(window) {}
  void PostState(WPARAM state) override;
  void SendNotice(const std::wstring& text) override;

 private:
  HWND window_;
};

class ServiceInfoPoller {
 public:
  // The form is built here, once, from the record as it is now and machineId; a later
  // sign-in does not change what is sent.
  ServiceInfoPoller(std::shared_ptr<SettingsStore> account, std::wstring machineId,
                    ServiceTransport& transport, AccountSink& sink, std::atomic<bool>& signedIn);

  // The schedule: the first request nine seconds after the start, then one every 600
  // seconds while at most two answers have come, every 18000 seconds after that.
  // sleep is called with 1000 between the one-second steps; returns once quit is set.
  void Run(const SleepFunction& sleep, const std::atomic<bool>& quit);

  // One request and the handling of its reply.
  void RequestOnce();

 private:
  void Apply(ReplyDocument& reply);

  std::shared_ptr<SettingsStore> account_;  // shared with the main window
  ServiceTransport& transport_;
  AccountSink& sink_;
  std::atomic<bool>& signedIn_;
  std::optional<std::wstring> form_;  // none when it would be too long: no request is made
  int answerCount_ = 0;  // answers with a status code so far (a parsed reply raises it to at least 3)
};

// Starts the production poller on a thread that is never waited for: it owns the
// transport, the sink and a copy of machineId, and shares the settings store and quit,
// so it never points at the main window object. It ends once quit is raised (the main
// window raises it with g_bQuit as it goes, so a window takes its poller with it), writes
// g_bSignedIn and reports to mainWindow. Returns false when no thread could be started.
bool StartServiceInfoThread(std::shared_ptr<SettingsStore> account, std::wstring machineId,
                            HWND mainWindow, std::shared_ptr<const std::atomic<bool>> quit);
