// The sign-in exchange without the dialog: the login dialog runs LoginRequest on a
// thread of its own, then applies the result to its record copy and reports it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "account/service_transport.h"
#include "storage/settings_record.h"

inline constexpr wchar_t kLoginAccepted[] = L"登录成功";

struct LoginResult {
  // -5..-1: the exchange failed (ServicePostCode; -1 also for a reply that did not
  // parse, -3 also, without a request, for a user name longer
  // than the record's field or a form too long to send); 0: refused; 1: accepted.
  int code = kPostSendFailed;
  std::wstring info;  // 1: "登录成功"; 0: the service's "info" text (may be empty)
  // For codes 0 and 1, what goes into the record (see ApplyLoginResult).
  int32_t serviceTime = 0;
  int32_t expireTime = 0;
  std::wstring userName;
  std::wstring machineId;
};

// Encodes the password, posts the login form and reads the reply. Every copy of the
// password made here is wiped before returning; the caller wipes its own (SecureWipe).
LoginResult LoginRequest(const std::wstring& userName, const std::wstring& password,
                         const std::wstring& machineId, int32_t softType,
                         ServiceTransport& transport);

// Applies a parsed reply (codes 0 and 1) to the record and the signed-in flag; other
// codes change nothing. softType becomes 2; accepted: serviceTime, expireTime,
// loginFailed 0, signed in; refused: expireTime 0, loginFailed 1, signed out. Both store
// the user name and machine identifier, each cut to its field.
void ApplyLoginResult(const LoginResult& result, SettingsRecord& record,
                      std::atomic<bool>& signedIn);
