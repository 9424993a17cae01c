// The text the sign-in dialog shows once the account is signed in, and the conversion of
// the service's end-of-service time to a local calendar date.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The local calendar date of `seconds` since 1970-01-01 00:00 UTC. The value is signed
// (times before 1970 stay before 1970). `zone` replaces the system's time zone (tests);
// nullptr uses the current one, daylight saving included. Empty when the platform
// cannot convert the time.
std::optional<CalendarDate> LocalDateOf(int32_t seconds, const TIME_ZONE_INFORMATION* zone = nullptr);

// Today's local date.
CalendarDate LocalToday();

// "\r\n<user>登录成功\r\n\r\n本次登录时间：<today>\r\n\r\n服务到期时间：<expire>", each date
// as "%4d年%d月%d日".
std::wstring SignedInText(const std::wstring& userName, const CalendarDate& today, const CalendarDate& expire);

// The same for today's local date and the local date of `expireTime`.
std::wstring SignedInTextNow(const std::wstring& userName, int32_t expireTime);
