// Overwrites a string that held a secret (a password or a form carrying it) so that the
// text does not linger in freed memory, then empties it.
#pragma once

#include <windows.h>

#include <string>

template <typename Char>
void SecureWipe(std::basic_string<Char>& text) {
  // resize() writes zeros over the unused capacity as well, so the old characters
  // between size() and capacity() are overwritten too; then the whole buffer is wiped.
  text.resize(text.capacity());
  if (!text.empty()) SecureZeroMemory(text.data(), text.size() * sizeof(Char));
  text.clear();
}
