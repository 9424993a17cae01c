// The mails the web pages send: a sign-up's confirmation, the note to an owner that
// someone tried to sign up with their address, an invitation, a password reset. Each
// carries one single-use link.
#pragma once

#include <cstdint>
#include <string>

enum class AccountMailKind { kConfirmSignUp, kSignUpTaken, kInvitation, kReset };

// The whole message (see text_mail.h); `link` is a full address built from public_url.
std::string ComposeAccountMail(AccountMailKind kind, const std::string& sender, const std::string& recipient,
                               const std::string& link, int64_t time);
