// Issues a single-use link and mails it through the durable mail queue: the token is
// random, only its hash is stored, and the link is built from public_url, never from
// anything a request says.
#pragma once

#include <cstdint>
#include <string>

#include "mail/account_mail.h"
#include "store/mail_store.h"
#include "store/web_token_store.h"

// How long each kind of link lasts.
inline constexpr int64_t kSignUpLinkSeconds = 24 * 3600;
inline constexpr int64_t kInvitationLinkSeconds = 7 * 24 * 3600;
inline constexpr int64_t kResetLinkSeconds = 3600;

struct LinkMail {
  AccountMailKind kind;
  std::string email;
  std::string passwordHash;  // a sign-up's chosen password
  int serviceDays = 0;       // for a new account
};

// Stores the token and queues the mail; the mail's id in the queue.
int64_t MailLink(WebTokenStore& tokens, MailStore& mails, const std::string& publicUrl, const std::string& sender,
                 const LinkMail& link, int64_t now);
