// What goes out to the service: password encoding, the e-mail rules, the three form
// bodies, and the main window's account-state decisions. The order of the login input
// checks is the sign-in dialog's table (login_texts_test).
#include <gtest/gtest.h>

#include <string>

#include "account/account_forms.h"
#include "account/account_messages.h"
#include "account/account_state.h"
#include "account/email_check.h"
#include "account/password.h"
#include "version.h"

namespace {

TEST(EncodePassword, MatchesBase64OfUtf8) {
  const struct {
    const wchar_t* password;
    const char* expected;
  } cases[] = {
      // RFC 4648 test vectors.
      {L"", ""},
      {L"f", "Zg=="},
      {L"fo", "Zm8="},
      {L"foo", "Zm9v"},
      {L"foob", "Zm9vYg=="},
      {L"fooba", "Zm9vYmE="},
      {L"foobar", "Zm9vYmFy"},
      // Characters that give '+', '/' and '=' go out as they are.
      {L"\u00FB\u00EF", "w7vDrw=="},
      {L"?\?>", "Pz8+"},
      {L"??\u007F", "Pz9/"},
      {L"密码", "5a+G56CB"},
      {L"\U0001F600", "8J+YgA=="},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, EncodePassword(c.password)) << c.expected;

  // 20 non-ASCII characters: 60 bytes of UTF-8, 80 characters of Base64.
  const std::wstring twenty(20, L'码');
  const std::string encoded = EncodePassword(twenty);
  EXPECT_EQ(80u, encoded.size());
  EXPECT_EQ(std::string::npos, encoded.find('='));
}

TEST(IsValidEmail, FollowsTheSevenRules) {
  const struct {
    const wchar_t* text;
    bool valid;
  } cases[] = {
      {L"a@b.c", true},
      {L"a@b.", false},               // ends with a full stop
      {L"a@bc", false},               // no full stop after @
      {L"@b.cd", false},              // starts with @
      {L"ab.c", false},               // no @, too short
      {L"abc.de", false},             // no @
      {L"a@b.c.d.e", true},           // three full stops after @
      {L"a@b.c.d.e.f", false},        // four
      {L"a.b.c.d.e@f.g", true},       // full stops before @ do not count
      {L"_a@b.cd", false},            // first must be a letter or digit
      {L"1a@b.cd", true},
      {L"a@@b.cd", false},
      {L"a@b@c.de", false},
      {L"a.@b.cd", false},
      {L"a@.b.cd", false},
      {L"a b@c.de", false},
      {L"a@b.c d", false},
      {L"用户@b.cd", false},
      {L"a@例子.cn", false},
      {L"a..b@c..d", true},           // consecutive full stops elsewhere are fine
      {L"a_@-b.c_", true},            // _ and - next to @ and at the end are fine
      {L"a-b_c@d-e.f-", true},
      {L"abcd", false},               // four characters
      {L"A9@Z.Q", true},
      {L"a@b.c+", false},
      {L"a@b\u3002c", false},         // ideographic full stop
      {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, IsValidEmail(c.text)) << c.text;
}

TEST(AccountForms, FillTheTemplatesUnescaped) {
  EXPECT_EQ(L"username=a&b=c@d.e&pwd=5a+G56CB&id=M-1&softtype=2&ver=" TARN_VERSION_TEXT,
            *BuildLoginForm(L"a&b=c@d.e", "5a+G56CB", L"M-1", 2));
  EXPECT_EQ(L"username=&id=M-1&softtype=2&ver=" TARN_VERSION_TEXT, *BuildServiceInfoForm(L"", L"M-1", 2));
  EXPECT_EQ(L"username=用户@x.cn&id=ID&softtype=-3&ver=" TARN_VERSION_TEXT "&tpl=1&code=404"
            L"&url=http://a.b/?x=1&y=2+3",
            *BuildReminderForm(L"用户@x.cn", L"ID", -3, 1, 404, L"http://a.b/?x=1&y=2+3"));
}

TEST(AccountForms, RefuseBodiesLongerThan259Characters) {
  const std::wstring head = L"username=u&id=i&softtype=2&ver=" TARN_VERSION_TEXT "&tpl=2&code=200&url=";
  const std::wstring fits(kMaxFormLength - head.size(), L'h');
  auto form = BuildReminderForm(L"u", L"i", 2, 2, 200, fits);
  ASSERT_TRUE(form);
  EXPECT_EQ(kMaxFormLength, form->size());
  EXPECT_FALSE(BuildReminderForm(L"u", L"i", 2, 2, 200, fits + L"x"));
  EXPECT_FALSE(BuildServiceInfoForm(std::wstring(300, L'u'), L"i", 2));
  EXPECT_FALSE(BuildLoginForm(std::wstring(200, L'u'), std::string(80, 'p'), L"i", 2));
  // The longest record fields with an 80-character password still fit.
  EXPECT_TRUE(BuildLoginForm(std::wstring(82, L'u'), std::string(80, 'p'), std::wstring(20, L'i'),
                             INT32_MIN));
}

// The caption texts, the expiry cleared at sign-out and the new-version notice once per
// run are checked on the main window (main_window_exit_test).
TEST(AccountState, DecidesCaptionAndPopups) {
  auto out = DecideAccountState(kAccountSignedOut, nullptr, false);
  EXPECT_EQ(CaptionLine(false), out.caption);
  EXPECT_FALSE(out.showPopup);

  out = DecideAccountState(kAccountSignedIn, nullptr, true);
  EXPECT_EQ(CaptionLine(true), out.caption);
  EXPECT_FALSE(out.clearExpireTime);
  EXPECT_TRUE(out.newVersionShown);

  out = DecideAccountState(kAccountNewVersion, nullptr, false);
  EXPECT_EQ(L"禾岚网站监控", out.popupCaption);
  EXPECT_TRUE(out.newVersionShown);

  out = DecideAccountState(kAccountNotice, L"六个字的通知", false);
  EXPECT_TRUE(out.showPopup);
  EXPECT_EQ(L"六个字的通知", out.popupText);
  EXPECT_EQ(L"禾岚提示", out.popupCaption);
  EXPECT_FALSE(DecideAccountState(kAccountNotice, L"五个字通知", false).showPopup);
  EXPECT_FALSE(DecideAccountState(kAccountNotice, nullptr, false).showPopup);

  out = DecideAccountState(7, nullptr, false);
  EXPECT_FALSE(out.setCaption || out.showPopup || out.clearExpireTime || out.newVersionShown);
  EXPECT_EQ(1030u, WM_ACCOUNTSTATE);
  EXPECT_EQ(1031u, WM_LOGINRESULT);
}

}  // namespace
