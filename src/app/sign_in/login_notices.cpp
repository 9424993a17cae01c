#include "app/sign_in/login_notices.h"

#include "res/resource.h"
#include "account/email_check.h"
#include "account/record_text.h"
#include "account/account_messages.h"
#include "account/service_post.h"

std::optional<InputRefusal> CheckTypedLogin(std::wstring_view userName, std::wstring_view password) {
  switch (CheckLoginInput(userName, password)) {
    case LoginInputCheck::kOk:
      return std::nullopt;
    case LoginInputCheck::kEmptyUserName:
      return InputRefusal{{kEmptyUserNameText, kInputNoticeMs}, IDC_LOGIN_USER};
    case LoginInputCheck::kBadEmail:
      if (userName.size() > kMaxUserNameLength) {
        return InputRefusal{{kUserNameTooLongText, kInputNoticeMs}, IDC_LOGIN_USER};
      }
      return InputRefusal{{kBadEmailText, kInputNoticeMs}, IDC_LOGIN_USER};
    case LoginInputCheck::kBadPasswordLength:
      return InputRefusal{{kBadPasswordText, kInputNoticeMs}, IDC_LOGIN_PASSWORD};
  }
  return std::nullopt;
}

LoginOutcome LoginOutcomeFromCode(WPARAM code) {
  if (code == kLoginFinished) return LoginOutcome::kFinished;
  switch (static_cast<INT_PTR>(code)) {  // the thread sends the codes as signed values
    case kPostSessionFailed:
      return LoginOutcome::kSessionFailed;
    case kPostConnectFailed:
      return LoginOutcome::kConnectFailed;
    case kPostRequestFailed:
    case kPostSendFailed:
      return LoginOutcome::kInterrupted;
    case kPostBadStatus:
      return LoginOutcome::kBadStatus;
    case 0:
      return LoginOutcome::kRefused;
    case 1:
      return LoginOutcome::kAccepted;
    default:
      return LoginOutcome::kUnknown;
  }
}

std::optional<LoginNotice> LoginResultNotice(LoginOutcome outcome, const wchar_t* text) {
  switch (outcome) {
    case LoginOutcome::kSessionFailed:
      return LoginNotice{L"初始化失败，请重试！", 2000};
    case LoginOutcome::kConnectFailed:
      return LoginNotice{L"连接服务器失败！", 2000};
    case LoginOutcome::kInterrupted:
      return LoginNotice{L"与服务器中断，请重试", 2000};
    case LoginOutcome::kBadStatus:
      return LoginNotice{L"登录失败，请重试", 2000};
    case LoginOutcome::kRefused:  // the service's own words, which may be none
      return LoginNotice{text ? text : L"", 5000};
    case LoginOutcome::kAccepted:
      return LoginNotice{text ? text : L"", 1000};
    case LoginOutcome::kFinished:
    case LoginOutcome::kUnknown:
      break;
  }
  return std::nullopt;
}
