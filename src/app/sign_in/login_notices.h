// What the sign-in dialog's status line says about the typed input and about each
// result of a sign-in, and for how long.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

inline constexpr wchar_t kEmptyUserNameText[] = L"用户名(邮箱)不能为空";
inline constexpr wchar_t kUserNameTooLongText[] = L"用户名(邮箱)太长!";
inline constexpr wchar_t kBadEmailText[] = L"邮箱格式不正确!";
inline constexpr wchar_t kBadPasswordText[] = L"密码必须是4-20位的字符！";
inline constexpr wchar_t kThreadFailedText[] = L"失败，请重新登录！";
inline constexpr wchar_t kSigningInText[] = L"登录中...";
inline constexpr UINT kInputNoticeMs = 2000;

struct LoginNotice {
  std::wstring text;
  UINT milliseconds = 0;
};

// The notice for input that cannot be sent, and the edit to focus (the user name or the
// password control), or nothing when the input may be sent. A user name longer than the
// settings record holds is refused: it could neither be stored nor offered again.
struct InputRefusal {
  LoginNotice notice;
  int focusControl = 0;
};
std::optional<InputRefusal> CheckTypedLogin(std::wstring_view userName, std::wstring_view password);

// What a WM_LOGINRESULT code says (the codes on the message are those of the exchange,
// -5..1, and kLoginFinished).
enum class LoginOutcome {
  kSessionFailed,  // the HTTP session could not be opened
  kConnectFailed,  // the service could not be reached
  kInterrupted,    // the request could not be opened, sent or answered
  kBadStatus,      // an answer with a failing status
  kRefused,        // the service refused the sign-in (its words in the text)
  kAccepted,       // signed in (the service's words in the text)
  kFinished,       // the sign-in thread has ended
  kUnknown,        // any other code: ignored
};
LoginOutcome LoginOutcomeFromCode(WPARAM code);

// The status line for an outcome with its text (lParam, may be null); nothing for the
// finish and unknown codes.
std::optional<LoginNotice> LoginResultNotice(LoginOutcome outcome, const wchar_t* text);
