// Checks of what the user types into the login dialog.
#pragma once

#include <string_view>

// The e-mail syntax the service accepts as a user name: at least 5 characters; an ASCII
// letter or digit first; then only ASCII letters, digits and _ - . @; exactly one @;
// 1 to 3 full stops after it; no full stop last; neither "@." nor ".@" anywhere.
bool IsValidEmail(std::wstring_view text);

// 4 to 20 UTF-16 units.
bool IsValidPasswordLength(std::wstring_view password);

// The checks the login dialog makes, in order, before it signs in.
enum class LoginInputCheck {
  kOk,
  kEmptyUserName,      // "用户名(邮箱)不能为空"
  kBadEmail,           // "邮箱格式不正确!" (also a name too long for the settings record)
  kBadPasswordLength,  // "密码必须是4-20位的字符！"
};
LoginInputCheck CheckLoginInput(std::wstring_view userName, std::wstring_view password);
