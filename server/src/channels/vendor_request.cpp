#include "channels/vendor_request.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "text/status_text.h"
#include "channels/signatures.h"

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void Text(JsonWriter& json, const std::string& value) {
  json.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void Field(JsonWriter& json, const char* key, const std::string& value) {
  json.Key(key);
  Text(json, value);
}

// {"msgtype":"text","text":{"content":...}}, the body WeCom and DingTalk share.
std::string TextMessageBody(const std::string& text) {
  rapidjson::StringBuffer buffer;
  JsonWriter json(buffer);
  json.StartObject();
  Field(json, "msgtype", "text");
  json.Key("text");
  json.StartObject();
  Field(json, "content", text);
  json.EndObject();
  json.EndObject();
  return buffer.GetString();
}

std::string FeishuBody(const std::string& text, const std::string& secret, int64_t nowSeconds) {
  rapidjson::StringBuffer buffer;
  JsonWriter json(buffer);
  json.StartObject();
  if (!secret.empty()) {
    Field(json, "timestamp", std::to_string(nowSeconds));
    Field(json, "sign", FeishuSignature(nowSeconds, secret));
  }
  Field(json, "msg_type", "text");
  json.Key("content");
  json.StartObject();
  Field(json, "text", text);
  json.EndObject();
  json.EndObject();
  return buffer.GetString();
}

std::string SlackBody(const std::string& text) {
  rapidjson::StringBuffer buffer;
  JsonWriter json(buffer);
  json.StartObject();
  Field(json, "text", text);
  json.EndObject();
  return buffer.GetString();
}

// {"event":"failing"|"back_up"|"summary"|"test","text":...,"reminders":[{...}]}
std::string WebhookBody(const std::string& text, const std::vector<Delivery>& carried) {
  rapidjson::StringBuffer buffer;
  JsonWriter json(buffer);
  json.StartObject();
  Field(json, "event", carried.empty()       ? "test"
                       : carried.size() > 1  ? "summary"
                       : carried[0].event.templateId == 1 ? "failing"
                                                          : "back_up");
  Field(json, "text", text);
  json.Key("reminders");
  json.StartArray();
  for (const Delivery& d : carried) {
    json.StartObject();
    Field(json, "site", d.event.site);
    Field(json, "state", d.event.templateId == 1 ? "failing" : "back_up");
    json.Key("code");
    json.Int(d.event.statusCode);
    Field(json, "status_text", std::string(StatusText(d.event.statusCode)));
    json.Key("time");
    json.Int64(d.event.time);
    if (d.downSeconds >= 0) {
      json.Key("down_seconds");
      json.Int64(d.downSeconds);
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return buffer.GetString();
}

}  // namespace

OutgoingRequest BuildVendorRequest(ChannelKind kind, const Channel& channel, const std::string& text,
                                   const std::vector<Delivery>& carried, int64_t nowMs,
                                   const VendorEndpoints& endpoints) {
  const int64_t nowSeconds = nowMs / 1000;
  OutgoingRequest request;
  switch (kind) {
    case ChannelKind::WeCom:
      request.url = endpoints.wecom + "/cgi-bin/webhook/send?key=" + channel.target;
      request.body = TextMessageBody(text);
      break;
    case ChannelKind::DingTalk:
      request.url = endpoints.dingtalk + "/robot/send?access_token=" + channel.target;
      if (!channel.secret.empty()) {
        request.url += "&timestamp=" + std::to_string(nowMs) + "&sign=" + DingTalkSignature(nowMs, channel.secret);
      }
      request.body = TextMessageBody(text);
      break;
    case ChannelKind::Feishu:
    case ChannelKind::Lark:
      request.url = (kind == ChannelKind::Feishu ? endpoints.feishu : endpoints.lark) + "/open-apis/bot/v2/hook/" +
                    channel.target;
      request.body = FeishuBody(text, channel.secret, nowSeconds);
      break;
    case ChannelKind::Slack:
      request.url = endpoints.slack + "/services/" + channel.target;
      request.body = SlackBody(text);
      break;
    case ChannelKind::Webhook:
      request.url = channel.target;
      request.body = WebhookBody(text, carried);
      if (!channel.secret.empty()) {
        request.headers.emplace_back("X-Tarn-Timestamp", std::to_string(nowSeconds));
        request.headers.emplace_back("X-Tarn-Signature", WebhookSignature(nowSeconds, channel.secret, request.body));
      }
      break;
    case ChannelKind::Mail:
      break;
  }
  return request;
}
