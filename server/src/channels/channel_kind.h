// The kinds of reminder channel the service can deliver to, and what each vendor allows:
// its host, how fast a robot may be called and how long a message may be.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class ChannelKind { Mail, WeCom, DingTalk, Feishu, Lark, Slack, Webhook };

struct KindLimits {
  int perSecond = 0;       // requests in any second; 0: no limit of its own
  int perMinute = 0;       // requests in any 60 seconds
  size_t maxTextBytes = 0;  // the message text, UTF-8
};

std::optional<ChannelKind> ReadChannelKind(std::string_view name);
const char* ChannelKindName(ChannelKind kind);
KindLimits LimitsOf(ChannelKind kind);

// Where each vendor kind sends: the vendor's own host, or another the operator set (a
// company's relay, or a test's receiver on the loopback); no closing "/".
struct VendorEndpoints {
  std::string wecom;
  std::string dingtalk;
  std::string feishu;
  std::string lark;
  std::string slack;
};

// Whether `target` is acceptable for the kind: a key, token or hook of the characters
// vendors use (so it cannot change the address it is put into), or for the webhook an
// http or https address.
enum class TargetProblem { kNone, kMailHasNone, kLength, kScheme, kAddressCharacters, kTokenCharacters };
inline constexpr size_t kMaxTargetBytes = 512;
TargetProblem FindTargetProblem(ChannelKind kind, const std::string& target);
// The same for the operator: an empty text when it is acceptable, the reason otherwise.
std::string CheckChannelTarget(ChannelKind kind, const std::string& target);

// Whether the kind takes a signing secret (DingTalk, Feishu, Lark and the webhook).
bool KindSigns(ChannelKind kind);

// The kind as owners know it ("钉钉群机器人"), for the page and the mails.
const char* ChannelTitle(const std::string& kind);

// What the owner and the operator see of a channel's target: a webhook's scheme and host,
// a robot's key masked like a secret.
std::string ShownTarget(const std::string& kind, const std::string& target);

// A secret or key as the owner and the operator may see it again: its last four
// characters at most.
std::string MaskedSecret(const std::string& secret);

// The events a channel wants as owners and the operator name them: "failing", "up" or
// "both"; nothing for anything else.
std::optional<int> ReadEventsChoice(const std::string& text);
// A channel's number as written: a positive decimal and nothing more.
std::optional<int64_t> ReadChannelId(const std::string& text);
