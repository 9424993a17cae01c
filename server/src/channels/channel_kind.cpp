#include "channels/channel_kind.h"

#include <array>
#include <cctype>
#include <charconv>

#include "store/channel_store.h"

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

TargetProblem FindTargetProblem(ChannelKind kind, const std::string& target) {
  if (kind == ChannelKind::Mail) return target.empty() ? TargetProblem::kNone : TargetProblem::kMailHasNone;
  if (target.empty() || target.size() > kMaxTargetBytes) return TargetProblem::kLength;
  if (kind == ChannelKind::Webhook) {
    if (!target.starts_with("http://") && !target.starts_with("https://")) return TargetProblem::kScheme;
    for (unsigned char c : target) {
      if (c <= 0x20 || c >= 0x7F) return TargetProblem::kAddressCharacters;
    }
    return TargetProblem::kNone;
  }
  // A Slack hook is its path "T…/B…/…"; the others a single token.
  for (unsigned char c : target) {
    const bool slash = c == '/' && kind == ChannelKind::Slack;
    if (!std::isalnum(c) && c != '-' && c != '_' && !slash) return TargetProblem::kTokenCharacters;
  }
  return TargetProblem::kNone;
}

std::string CheckChannelTarget(ChannelKind kind, const std::string& target) {
  switch (FindTargetProblem(kind, target)) {
    case TargetProblem::kNone:
      return "";
    case TargetProblem::kMailHasNone:
      return "mail goes to the account's own address";
    case TargetProblem::kLength:
      return "the key, token, hook or address must have 1 to 512 characters";
    case TargetProblem::kScheme:
      return "the address must be http or https";
    case TargetProblem::kAddressCharacters:
      return "the address must not hold spaces or control characters";
    case TargetProblem::kTokenCharacters:
      break;
  }
  return "the key, token or hook holds a character it cannot";
}

bool KindSigns(ChannelKind kind) {
  return kind == ChannelKind::DingTalk || kind == ChannelKind::Feishu || kind == ChannelKind::Lark ||
         kind == ChannelKind::Webhook;
}

const char* ChannelTitle(const std::string& kind) {
  if (kind == "mail") return "邮件";
  if (kind == "wecom") return "企业微信群机器人";
  if (kind == "dingtalk") return "钉钉群机器人";
  if (kind == "feishu") return "飞书群机器人";
  if (kind == "lark") return "Lark 群机器人";
  if (kind == "slack") return "Slack";
  return "Webhook";
}

std::string ShownTarget(const std::string& kind, const std::string& target) {
  if (kind != "webhook") return MaskedSecret(target);
  const size_t scheme = target.find("://");
  size_t host = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t path = target.find_first_of("/?#", host);
  const size_t end = path == std::string::npos ? target.size() : path;
  // A user and password before the host are as secret as the path.
  if (const size_t at = target.rfind('@', end); at != std::string::npos && at >= host) host = at + 1;
  const std::string shown = target.substr(0, scheme == std::string::npos ? 0 : scheme + 3) +
                            target.substr(host, end - host);
  return path == std::string::npos ? shown : shown + "/…";
}

std::string MaskedSecret(const std::string& secret) {
  if (secret.empty()) return "";
  if (secret.size() <= 8) return "****";
  return "****" + secret.substr(secret.size() - 4);
}

std::optional<int> ReadEventsChoice(const std::string& text) {
  if (text == "failing") return kEventFailing;
  if (text == "up") return kEventBackUp;
  if (text == "both") return kEventFailing | kEventBackUp;
  return std::nullopt;
}

std::optional<int64_t> ReadChannelId(const std::string& text) {
  int64_t id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || id <= 0) return std::nullopt;
  return id;
}
