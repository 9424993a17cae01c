#include "app/login_notices.h"

#include "res/resource.h"
#include "account/email_check.h"
#include "account/record_text.h"
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

std::optional<LoginNotice> LoginResultNotice(WPARAM code, const wchar_t* text) {
  switch (static_cast<INT_PTR>(code)) {  // the thread sends the codes as signed values
    case kPostSessionFailed:
      return LoginNotice{L"初始化失败，请重试！", 2000};
    case kPostConnectFailed:
      return LoginNotice{L"连接服务器失败！", 2000};
    case kPostRequestFailed:
    case kPostSendFailed:
      return LoginNotice{L"与服务器中断，请重试", 2000};
    case kPostBadStatus:
      return LoginNotice{L"登录失败，请重试", 2000};
    case 0:  // refused: the service's own words, which may be none
      return LoginNotice{text ? text : L"", 5000};
    case 1:
      return LoginNotice{text ? text : L"", 1000};
    default:
      return std::nullopt;
  }
}
