#include "account/email_check.h"

#include <cstddef>

#include "account/record_text.h"

namespace {

bool IsAsciiLetterOrDigit(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

}  // namespace

bool IsValidEmail(std::wstring_view text) {
  if (text.size() < 5) return false;
  if (!IsAsciiLetterOrDigit(text[0])) return false;
  for (size_t i = 1; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (!IsAsciiLetterOrDigit(c) && c != L'_' && c != L'-' && c != L'.' && c != L'@') return false;
  }
  const size_t at = text.find(L'@');
  if (at == std::wstring_view::npos || text.find(L'@', at + 1) != std::wstring_view::npos) {
    return false;
  }
  size_t stops = 0;
  for (size_t i = at + 1; i < text.size(); ++i) stops += text[i] == L'.';
  if (stops < 1 || stops > 3) return false;
  if (text.back() == L'.') return false;
  return text.find(L"@.") == std::wstring_view::npos && text.find(L".@") == std::wstring_view::npos;
}

bool IsValidPasswordLength(std::wstring_view password) {
  return password.size() >= 4 && password.size() <= 20;
}

LoginInputCheck CheckLoginInput(std::wstring_view userName, std::wstring_view password) {
  if (userName.empty()) return LoginInputCheck::kEmptyUserName;
  // A name that does not fit the settings record could never be offered again, nor sent
  // by the service-information requests: it is refused like a malformed address.
  if (!IsValidEmail(userName) || userName.size() > kMaxUserNameLength) return LoginInputCheck::kBadEmail;
  if (!IsValidPasswordLength(password)) return LoginInputCheck::kBadPasswordLength;
  return LoginInputCheck::kOk;
}
