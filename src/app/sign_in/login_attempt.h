// One sign-in attempt: the login request run on a thread of its own, reported to the
// login dialog with WM_LOGINRESULT (a code -5..1, then kLoginFinished).
//
// The dialog and the thread own the attempt together (shared_ptr), so its data stays
// valid until both are done with it, and the thread holds its own copies of the user
// name, password and machine identifier. The dialog can close while the request runs:
// it then calls Detach, and from that moment nothing more is sent to it. The window
// thread never waits for the request: the lock below is held only to read or change
// the target window and the result, never across a send or a network call.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "account/login_request.h"
#include "account/service_transport.h"

class LoginAttempt {
 public:
  // The password is copied; the caller wipes its own buffer (SecureWipe).
  LoginAttempt(HWND dialog, std::wstring userName, const std::wstring& password, std::wstring machineId,
               int32_t softType, std::unique_ptr<ServiceTransport> transport);
  ~LoginAttempt();
  LoginAttempt(const LoginAttempt&) = delete;
  LoginAttempt& operator=(const LoginAttempt&) = delete;

  // Starts the thread, which shares the attempt. False when no thread could be created.
  static bool Start(const std::shared_ptr<LoginAttempt>& attempt);

  // The dialog is going away: results that arrive from now on are dropped.
  void Detach();

  // For the dialog's WM_LOGINRESULT handler: the parsed reply (codes 0 and 1) taken out
  // of the attempt, or nothing.
  std::optional<LoginResult> TakeResult();

 private:
  // The sign-in thread: one request, its report, then kLoginFinished. `parameter` is a
  // heap-allocated shared_ptr to the attempt, which the thread takes over.
  static DWORD WINAPI LoginThread(void* parameter) noexcept;
  void Run();
  // Sends one report, synchronously, when the dialog still listens.
  void Report(WPARAM code, const wchar_t* text);

  // Read only by the thread (set before it starts).
  std::wstring userName_;
  std::wstring password_;  // wiped as soon as the request has been made
  std::wstring machineId_;
  int32_t softType_;
  std::unique_ptr<ServiceTransport> transport_;

  std::mutex mutex_;  // guards dialog_ and result_
  HWND dialog_;       // nullptr once the dialog has detached
  std::optional<LoginResult> result_;
};
