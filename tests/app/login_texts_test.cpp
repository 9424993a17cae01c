// The sign-in dialog's plain decisions: which input is refused with which notice, the
// status line for each result, and the dates of the signed-in text.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/sign_in/login_notices.h"
#include "app/sign_in/signed_in_text.h"
#include "res/resource.h"

namespace {

TIME_ZONE_INFORMATION FixedZone(LONG biasMinutes) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = biasMinutes;  // UTC = local + bias; no daylight saving
  return zone;
}

TEST(LoginInput, RefusesWithTheNoticeAndTheEditToFix) {
  const std::wstring at82 = std::wstring(76, L'a') + L"@x.com";   // fills userName exactly
  const std::wstring at83 = std::wstring(77, L'a') + L"@x.com";   // one unit too many
  const struct {
    std::wstring name;
    std::wstring password;
    const wchar_t* notice;  // nullptr: may be sent
    int focus;
  } cases[] = {
      {L"", L"", kEmptyUserNameText, IDC_LOGIN_USER},
      {L"a@bc", L"pass1234", kBadEmailText, IDC_LOGIN_USER},
      {L"a@b.c d", L"", kBadEmailText, IDC_LOGIN_USER},  // the name is checked first
      {L"u@x.cn", L"123", kBadPasswordText, IDC_LOGIN_PASSWORD},
      {L"u@x.cn", std::wstring(21, L'p'), kBadPasswordText, IDC_LOGIN_PASSWORD},
      {L"u@x.cn", L"1234", nullptr, 0},
      {L"u@x.cn", std::wstring(20, L'密'), nullptr, 0},  // UTF-16 units, not bytes
      {at82, std::wstring(20, L'p'), nullptr, 0},
      {at83, L"pass1234", kUserNameTooLongText, IDC_LOGIN_USER},
      {std::wstring(200, L'@'), L"", kUserNameTooLongText, IDC_LOGIN_USER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name.size() << " / " << c.password.size());
    const auto refusal = CheckTypedLogin(c.name, c.password);
    ASSERT_EQ(c.notice != nullptr, refusal.has_value());
    if (!refusal) continue;
    EXPECT_EQ(c.notice, refusal->notice.text);
    EXPECT_EQ(2000u, refusal->notice.milliseconds);
    EXPECT_EQ(c.focus, refusal->focusControl);
  }
}

// The thread sends the codes as signed values; other codes leave the status line alone.
TEST(LoginResultNotice, OnlyResultCodesChangeTheStatusLine) {
  EXPECT_EQ(L"初始化失败，请重试！", LoginResultNotice(LoginOutcomeFromCode(static_cast<WPARAM>(INT_PTR{-5})), nullptr)->text);
  EXPECT_EQ(L"", LoginResultNotice(LoginOutcomeFromCode(0), nullptr)->text);  // a refusal without "info"
  for (INT_PTR code : {INT_PTR{-6}, INT_PTR{2}, INT_PTR{9}, INT_PTR{1} << 32})
    EXPECT_FALSE(LoginResultNotice(LoginOutcomeFromCode(static_cast<WPARAM>(code)), L"x").has_value()) << code;
}

TEST(SignedInText, ExpireTimeIsSignedAndLocal) {
  const struct {
    int32_t seconds;
    LONG bias;
    int year, month, day;
  } cases[] = {
      {0, 0, 1970, 1, 1},
      {0, -480, 1970, 1, 1},                // UTC+8: 08:00 the same day
      {0, 300, 1969, 12, 31},               // UTC-5: the evening before
      {-1, 0, 1969, 12, 31},                // before 1970, not 2106
      {-1, -480, 1970, 1, 1},
      {INT32_MIN, 0, 1901, 12, 13},
      {INT32_MAX, 0, 2038, 1, 19},
      {INT32_MAX, 300, 2038, 1, 18},        // 03:14 UTC is 22:14 the day before
      {1767225600 - 8 * 3600, -480, 2026, 1, 1},  // midnight in UTC+8
      {1767225600 - 8 * 3600 - 1, -480, 2025, 12, 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.seconds << " bias " << c.bias);
    const TIME_ZONE_INFORMATION zone = FixedZone(c.bias);
    const auto date = LocalDateOf(c.seconds, &zone);
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(c.year, date->year);
    EXPECT_EQ(c.month, date->month);
    EXPECT_EQ(c.day, date->day);
  }
}

TEST(SignedInText, Format) {
  EXPECT_EQ(L"\r\nu@x.cn登录成功\r\n\r\n本次登录时间：2026年3月9日\r\n\r\n服务到期时间：1901年12月13日",
            SignedInText(L"u@x.cn", {2026, 3, 9}, {1901, 12, 13}));
  EXPECT_EQ(L"\r\n登录成功\r\n\r\n本次登录时间： 999年10月1日\r\n\r\n服务到期时间：2038年1月19日",
            SignedInText(L"", {999, 10, 1}, {2038, 1, 19}));
}

}  // namespace
