// The three form bodies posted to the account service, and their paths. Values are
// inserted exactly as they are: no percent-encoding, no escaping of '&', '=' or '+'.
//
// A body longer than kMaxFormLength UTF-16 units is refused (std::nullopt) and the
// request is not made. The service has always received bodies of at most that length,
// and sending a cut body would deliver a wrong address or user name without anyone
// noticing; a refused request is reported by its caller as a failed one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "version.h"

inline constexpr wchar_t kProgramVersion[] = TARN_VERSION_WTEXT;
inline constexpr size_t kMaxFormLength = 259;

inline constexpr wchar_t kLoginPath[] = L"index.php?g=Api&m=Client&a=login";
inline constexpr wchar_t kServiceInfoPath[] = L"index.php?g=Api&m=Client&a=getInfo";
inline constexpr wchar_t kReminderPath[] = L"index.php?g=Api&m=Client&a=sendMsg";

// "username=%s&pwd=%s&id=%s&softtype=%d&ver=%s". The body carries the encoded password:
// wipe it (SecureWipe) after the request; a refused body is wiped here.
std::optional<std::wstring> BuildLoginForm(std::wstring_view userName,
                                           std::string_view encodedPassword,
                                           std::wstring_view machineId, int32_t softType);

// "username=%s&id=%s&softtype=%d&ver=%s"
std::optional<std::wstring> BuildServiceInfoForm(std::wstring_view userName,
                                                 std::wstring_view machineId, int32_t softType);

// "username=%s&id=%s&softtype=%d&ver=%s&tpl=%d&code=%d&url=%s"
std::optional<std::wstring> BuildReminderForm(std::wstring_view userName,
                                              std::wstring_view machineId, int32_t softType,
                                              int32_t templateId, int32_t statusCode,
                                              std::wstring_view siteAddress);
