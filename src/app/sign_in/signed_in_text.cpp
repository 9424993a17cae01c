#include "app/sign_in/signed_in_text.h"

#include <cwchar>

namespace {

// 100-nanosecond ticks between 1601-01-01 (FILETIME's origin) and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

CalendarDate DateOf(const SYSTEMTIME& time) { return {time.wYear, time.wMonth, time.wDay}; }

// "%4d年%d月%d日": the year right-aligned in four places.
std::wstring DateText(const CalendarDate& date) {
  wchar_t year[16] = {};
  std::swprintf(year, 16, L"%4d", date.year);
  return year + std::wstring(L"年") + std::to_wstring(date.month) + L"月" + std::to_wstring(date.day) + L"日";
}

}  // namespace

std::optional<CalendarDate> LocalDateOf(int32_t seconds, const TIME_ZONE_INFORMATION* zone) {
  // Widened with its sign: a negative count is a time before 1970, not one after 2038.
  const int64_t ticks = kUnixEpochTicks + static_cast<int64_t>(seconds) * kTicksPerSecond;
  FILETIME fileTime{};
  fileTime.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
  fileTime.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (!::FileTimeToSystemTime(&fileTime, &utc)) return std::nullopt;
  if (!::SystemTimeToTzSpecificLocalTime(zone, &utc, &local)) return std::nullopt;
  return DateOf(local);
}

CalendarDate LocalToday() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return DateOf(now);
}

std::wstring SignedInText(const std::wstring& userName, const CalendarDate& today, const CalendarDate& expire) {
  return L"\r\n" + userName + L"登录成功\r\n\r\n本次登录时间：" + DateText(today) + L"\r\n\r\n服务到期时间：" +
         DateText(expire);
}

std::wstring SignedInTextNow(const std::wstring& userName, int32_t expireTime) {
  // A time the platform cannot convert shows as the first day of 1970 rather than garbage.
  const CalendarDate expire = LocalDateOf(expireTime).value_or(CalendarDate{1970, 1, 1});
  return SignedInText(userName, LocalToday(), expire);
}
