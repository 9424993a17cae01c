// The password as the service expects it in the form: its UTF-8 bytes in standard
// Base64 (RFC 4648 alphabet, '=' padding, no line breaks).
#pragma once

#include <string>
#include <string_view>

// The intermediate UTF-8 copy is wiped before returning. The result still carries the
// password: the caller wipes it (SecureWipe) once the request is sent.
std::string EncodePassword(std::wstring_view password);
