// The account page's add-a-channel form, read and checked as a plain function.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "web/web_form.h"

// A channel as the add form describes it.
struct NewChannel {
  std::string kind;    // never "mail": mail is always there
  std::string target;  // the key, token, hook or address
  std::string secret;  // "" for none; only kinds that sign take one
  int events = 0;
};

inline constexpr size_t kMaxSecretBytes = 256;

// The channel of the add form ("kind", "target", "secret", "events"), or why it cannot be
// added, in words for the owner.
std::variant<NewChannel, std::string> ReadNewChannel(const WebForm& form);
