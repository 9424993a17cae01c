#include "api/account_address.h"

#include <cctype>

bool IsPlainAddress(const std::string& email) {
  const size_t at = email.find('@');
  if (at == 0 || at == std::string::npos || email.find('@', at + 1) != std::string::npos) return false;
  if (email.size() < 5 || email.size() > 82 || email.find('.', at) == std::string::npos) return false;
  for (unsigned char c : email) {
    if (!std::isalnum(c) && c != '@' && c != '.' && c != '_' && c != '-') return false;
  }
  return true;
}
