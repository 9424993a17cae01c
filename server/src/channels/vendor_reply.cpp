#include "channels/vendor_reply.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "channels/channel_text.h"
#include "text/utf8_text.h"

namespace {

constexpr int64_t kDefaultWaitSeconds = 60;
constexpr int64_t kLongestWaitSeconds = 3600;
constexpr size_t kLongestReason = 240;

// The vendors' documented codes in a JSON reply: too many requests, or a refusal that no
// retry can mend.
struct CodeRow {
  ChannelKind kind;
  int64_t code;
  Outcome outcome;
};
constexpr std::array kCodes{
    CodeRow{ChannelKind::WeCom, 45009, Outcome::Wait},        // api freq out of limit
    CodeRow{ChannelKind::WeCom, 93000, Outcome::Refused},     // invalid webhook url (deleted robot)
    CodeRow{ChannelKind::WeCom, 93004, Outcome::Refused},     // robot disabled
    CodeRow{ChannelKind::WeCom, 93008, Outcome::Refused},     // not a member of the chat any more
    CodeRow{ChannelKind::DingTalk, 130101, Outcome::Wait},    // send too fast
    CodeRow{ChannelKind::DingTalk, 310000, Outcome::Refused},  // sign not match, keywords, ip not allowed
    CodeRow{ChannelKind::DingTalk, 300001, Outcome::Refused},  // token does not exist
    CodeRow{ChannelKind::DingTalk, 400101, Outcome::Refused},  // access_token does not exist
    CodeRow{ChannelKind::DingTalk, 400102, Outcome::Refused},  // robot stopped
    CodeRow{ChannelKind::Feishu, 11232, Outcome::Wait},        // frequency limited
    CodeRow{ChannelKind::Feishu, 19001, Outcome::Refused},     // hook not found
    CodeRow{ChannelKind::Feishu, 19021, Outcome::Refused},     // sign match fail or timestamp out of range
    CodeRow{ChannelKind::Feishu, 19022, Outcome::Refused},     // ip not allowed
    CodeRow{ChannelKind::Feishu, 19024, Outcome::Refused},     // key words not found
};

// Slack's answers, in the body, for a hook that can never post again.
constexpr std::array<std::string_view, 9> kSlackRefusals{
    "invalid_token",  "no_service",         "no_team",  "team_disabled", "channel_is_archived",
    "channel_not_found", "action_prohibited", "no_active_hooks", "posting_to_general_channel_denied"};

// The reply's words as the owner sees them and the database stores them: one line of
// well-formed UTF-8. A vendor or webhook may answer in any bytes (a relay answering in GBK);
// stored as they came, they would break the page and, on PostgreSQL, the record itself.
std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(std::min(text.size(), kLongestReason + 4));
  for (size_t at = 0; at < text.size() && line.size() <= kLongestReason;) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      line += byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte);
      ++at;
    } else if (const size_t length = Utf8SequenceLength(std::string_view(text).substr(at))) {
      line.append(text, at, length);
      at += length;
    } else {
      line += "\xEF\xBF\xBD";  // U+FFFD, the replacement character
      ++at;
    }
  }
  return CutUtf8(line, kLongestReason);
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Verdict Wait(int64_t seconds, std::string reason) {
  return {Outcome::Wait, std::clamp<int64_t>(seconds < 0 ? kDefaultWaitSeconds : seconds, 1, kLongestWaitSeconds),
          std::move(reason)};
}

// WeCom and DingTalk answer {"errcode":N,"errmsg":...}; Feishu and Lark {"code":N,"msg":...}
// (older hooks {"StatusCode":N,"StatusMessage":...}).
Verdict JudgeJsonCode(ChannelKind kind, const VendorReply& reply) {
  const ChannelKind table = kind == ChannelKind::Lark ? ChannelKind::Feishu : kind;
  rapidjson::Document json;
  json.Parse(reply.body.data(), reply.body.size());
  const char* codeKey = table == ChannelKind::Feishu ? "code" : "errcode";
  const char* textKey = table == ChannelKind::Feishu ? "msg" : "errmsg";
  if (json.IsObject() && table == ChannelKind::Feishu && !json.HasMember("code") && json.HasMember("StatusCode")) {
    codeKey = "StatusCode";
    textKey = "StatusMessage";
  }
  if (!json.IsObject() || !json.HasMember(codeKey) || !json[codeKey].IsInt64()) {
    if (reply.status == 429) return Wait(reply.retryAfter, "HTTP 429");
    return {Outcome::Retry, 0, OneLine("HTTP " + std::to_string(reply.status) + " " + reply.body)};
  }
  const int64_t code = json[codeKey].GetInt64();
  const std::string words = json.HasMember(textKey) && json[textKey].IsString() ? json[textKey].GetString() : "";
  const std::string reason = OneLine(std::string(codeKey) + " " + std::to_string(code) + ": " + words);
  if (code == 0 && reply.status / 100 == 2) return {Outcome::Delivered, 0, ""};
  if (reply.status == 429) return Wait(reply.retryAfter, reason);
  for (const CodeRow& row : kCodes) {
    if (row.kind != table || row.code != code) continue;
    if (row.outcome == Outcome::Wait) return Wait(reply.retryAfter, reason);
    return {row.outcome, 0, reason};
  }
  return {Outcome::Retry, 0, code == 0 ? "HTTP " + std::to_string(reply.status) : reason};
}

Verdict JudgeSlack(const VendorReply& reply) {
  const std::string reason = OneLine("HTTP " + std::to_string(reply.status) + " " + reply.body);
  if (reply.status == 200 && reply.body == "ok") return {Outcome::Delivered, 0, ""};
  if (reply.status == 429) return Wait(reply.retryAfter, reason);
  for (std::string_view refusal : kSlackRefusals) {
    if (reply.body == refusal) return {Outcome::Refused, 0, reason};
  }
  if (reply.status == 403 || reply.status == 404 || reply.status == 410) return {Outcome::Refused, 0, reason};
  return {Outcome::Retry, 0, reason};
}

Verdict JudgeWebhook(const VendorReply& reply) {
  const std::string reason = OneLine("HTTP " + std::to_string(reply.status) + " " + reply.body);
  if (reply.status / 100 == 2) return {Outcome::Delivered, 0, ""};
  if (reply.status == 429) return Wait(reply.retryAfter, reason);
  // The receiver says it will never take these: a wrong signature, no such hook.
  if (reply.status == 401 || reply.status == 403 || reply.status == 404 || reply.status == 410) {
    return {Outcome::Refused, 0, reason};
  }
  return {Outcome::Retry, 0, reason};
}

}  // namespace

Verdict JudgeVendorReply(ChannelKind kind, const VendorReply& reply) {
  if (!reply.error.empty() || reply.status == 0) return {Outcome::Retry, 0, OneLine(reply.error)};
  // Redirects are never followed (one could lead inside the operator's network), so retrying
  // cannot help: the owner has to enter the address the hook moved to.
  if (IsRedirect(reply.status)) {
    return {Outcome::Refused, 0,
            OneLine("HTTP " + std::to_string(reply.status) + ", not followed: redirect to " +
                    (reply.location.empty() ? std::string("an address not given") : reply.location))};
  }
  switch (kind) {
    case ChannelKind::Slack:
      return JudgeSlack(reply);
    case ChannelKind::Webhook:
      return JudgeWebhook(reply);
    default:
      return JudgeJsonCode(kind, reply);
  }
}

std::string ReplySummary(const VendorReply& reply) {
  if (!reply.error.empty() || reply.status == 0) return OneLine("no reply: " + reply.error);
  return OneLine("HTTP " + std::to_string(reply.status) + " " + reply.body);
}
