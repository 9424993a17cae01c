#include "channels/channel_kind.h"

#include <array>
#include <cctype>

namespace {

struct KindRow {
  ChannelKind kind;
  const char* name;
  KindLimits limits;
};

// The rates the vendors document for a robot; a generic webhook gets one a second.
constexpr std::array kKinds{
    KindRow{ChannelKind::Mail, "mail", {0, 0, 0}},
    KindRow{ChannelKind::WeCom, "wecom", {0, 20, 2048}},
    KindRow{ChannelKind::DingTalk, "dingtalk", {0, 20, 18000}},
    KindRow{ChannelKind::Feishu, "feishu", {5, 100, 18000}},
    KindRow{ChannelKind::Lark, "lark", {5, 100, 18000}},
    KindRow{ChannelKind::Slack, "slack", {1, 60, 35000}},
    KindRow{ChannelKind::Webhook, "webhook", {1, 60, 16000}},
};

}  // namespace

std::optional<ChannelKind> ReadChannelKind(std::string_view name) {
  for (const KindRow& row : kKinds) {
    if (name == row.name) return row.kind;
  }
  return std::nullopt;
}

const char* ChannelKindName(ChannelKind kind) { return kKinds[static_cast<size_t>(kind)].name; }

KindLimits LimitsOf(ChannelKind kind) { return kKinds[static_cast<size_t>(kind)].limits; }

std::string CheckChannelTarget(ChannelKind kind, const std::string& target) {
  if (kind == ChannelKind::Mail) return target.empty() ? "" : "mail goes to the account's own address";
  if (target.empty() || target.size() > 512) return "the key, token, hook or address must have 1 to 512 characters";
  if (kind == ChannelKind::Webhook) {
    if (!target.starts_with("http://") && !target.starts_with("https://")) return "the address must be http or https";
    for (unsigned char c : target) {
      if (c <= 0x20 || c >= 0x7F) return "the address must not hold spaces or control characters";
    }
    return "";
  }
  // A Slack hook is its path "T…/B…/…"; the others a single token.
  for (unsigned char c : target) {
    const bool slash = c == '/' && kind == ChannelKind::Slack;
    if (!std::isalnum(c) && c != '-' && c != '_' && !slash) return "the key, token or hook holds a character it cannot";
  }
  return "";
}

std::string MaskedSecret(const std::string& secret) {
  if (secret.empty()) return "";
  if (secret.size() <= 8) return "****";
  return "****" + secret.substr(secret.size() - 4);
}
