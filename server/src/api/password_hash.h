// Passwords are kept only as Argon2id hashes (libsodium's string form, which carries its
// own salt and cost). The program sends a password as Base64 of its UTF-8 bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Call once before any other function here.
bool InitPasswordHashing();

// The hash of a UTF-8 password; nothing when hashing failed (out of memory).
std::optional<std::string> HashPassword(std::string_view password);

// True when the Base64 text decodes to the password of `hash`. With an empty `hash` (no
// such account) it spends the same work on a throw-away hash, so a wrong name answers no
// faster than a wrong password. The decoded bytes are wiped before it returns.
bool VerifyEncodedPassword(std::string_view base64, const std::string& hash);
