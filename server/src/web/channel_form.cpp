#include "web/channel_form.h"

#include "channels/channel_kind.h"

namespace {

const char* TargetProblemText(TargetProblem problem) {
  switch (problem) {
    case TargetProblem::kNone:
      return "";
    case TargetProblem::kLength:
      return "请填写密钥、令牌或地址，最多 512 个字符。";
    case TargetProblem::kScheme:
      return "Webhook 地址只能以 http:// 或 https:// 开头。";
    case TargetProblem::kAddressCharacters:
      return "Webhook 地址不能含空格或控制字符。";
    default:
      return "密钥或令牌只能由字母、数字、“-”和“_”组成（Slack 另可含“/”）；请只填写密钥本身，不要填写完整地址。";
  }
}

}  // namespace

std::variant<NewChannel, std::string> ReadNewChannel(const WebForm& form) {
  NewChannel channel;
  channel.kind = form["kind"];
  const auto kind = ReadChannelKind(channel.kind);
  if (!kind || *kind == ChannelKind::Mail) return std::string("请选择渠道类型。");
  // What a paste brings along at either end is not part of a key.
  const std::string& pasted = form["target"];
  const size_t first = pasted.find_first_not_of(" \t");
  channel.target = first == std::string::npos ? "" : pasted.substr(first, pasted.find_last_not_of(" \t") + 1 - first);
  if (const TargetProblem problem = FindTargetProblem(*kind, channel.target); problem != TargetProblem::kNone) {
    return std::string(TargetProblemText(problem));
  }
  channel.secret = form["secret"];
  if (channel.secret.size() > kMaxSecretBytes) return std::string("签名密钥最多 256 个字符。");
  if (!channel.secret.empty() && !KindSigns(*kind)) {
    return std::string(ChannelTitle(channel.kind)) + "没有签名密钥，请留空。";
  }
  const auto events = ReadEventsChoice(form["events"]);
  if (!events) return std::string("请选择在什么情况下提醒。");
  channel.events = *events;
  return channel;
}
