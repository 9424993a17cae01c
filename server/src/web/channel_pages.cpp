// The account page's reminder channels: adding one, its events, turning it on or off,
// ending a pause, deleting it, mail on or off, and the test message.
#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "channels/channel_kind.h"
#include "config/ip_address.h"
#include "text/status_text.h"
#include "web/channel_form.h"
#include "web/page_security.h"
#include "web/site_pages.h"

namespace {

constexpr int kDeliveriesShown = 20;
constexpr long kMaxChannels = 20;

// The changes a channel's buttons post, each naming the channel by "id".
struct ChannelChange {
  const char* path;
  const char* done;  // the notice after it
  bool (*apply)(ChannelStore& store, int64_t accountId, int64_t channelId);
};

constexpr ChannelChange kChanges[] = {
    {"/account/channels/enable", "enabled",
     [](ChannelStore& s, int64_t account, int64_t id) { return s.SetEnabled(account, id, true); }},
    {"/account/channels/disable", "disabled",
     [](ChannelStore& s, int64_t account, int64_t id) { return s.SetEnabled(account, id, false); }},
    {"/account/channels/resume", "resumed",
     [](ChannelStore& s, int64_t account, int64_t id) { return s.Resume(account, id); }},
    {"/account/channels/delete", "deleted",
     [](ChannelStore& s, int64_t account, int64_t id) { return s.Remove(account, id); }},
};

std::string DeliveryState(const Delivery& d) {
  if (d.state == "sent") return "已送达";
  if (d.state == "failed") return "发送失败";
  return d.attempts > 0 ? "等待重试" : "等待发送";
}

// The page's row of a channel: the events chosen in its list, its state in words.
PageData ChannelRow(const Channel& channel) {
  PageData row;
  row.set("id", std::to_string(channel.id));
  row.set("title", ChannelTitle(channel.kind));
  row.set("target", channel.kind == "mail" ? "账户邮箱" : ShownTarget(channel.kind, channel.target));
  // Mustache takes any text, even an empty one, as true: the sections test flags.
  row.set("hasSecret", !channel.secret.empty());
  row.set("secret", MaskedSecret(channel.secret));
  row.set("onFailing", channel.events == kEventFailing);
  row.set("onUp", channel.events == kEventBackUp);
  row.set("onBoth", channel.events == (kEventFailing | kEventBackUp));
  row.set("enabled", channel.enabled);
  row.set("paused", !channel.pausedReason.empty());
  row.set("reason", channel.pausedReason);
  row.set("state", !channel.enabled ? "已停用" : !channel.pausedReason.empty() ? "已暂停" : "已启用");
  return row;
}

}  // namespace

void SitePages::ShowChannels(const Account& account, PageData& data) {
  Channel mail;
  mail.kind = "mail";
  PageData channels{PageData::type::list};
  std::unordered_map<int64_t, std::string> titles;
  for (const Channel& channel : services_.channels.OfAccount(account.id)) {
    if (channel.kind == "mail") {
      mail = channel;
      continue;
    }
    titles[channel.id] = std::string(ChannelTitle(channel.kind)) + " #" + std::to_string(channel.id);
    channels.push_back(ChannelRow(channel));
  }
  data.set("mail", ChannelRow(mail));
  data.set("mailOff", !mail.enabled);
  data.set("channels", channels);

  PageData deliveries{PageData::type::list};
  const auto found = services_.channels.Deliveries(account.id, kDeliveriesShown);
  for (const Delivery& d : found) {
    PageData row;
    const auto title = titles.find(d.channelId);
    row.set("channel", title == titles.end() ? "已删除的渠道" : title->second);
    row.set("site", d.event.site);
    row.set("event", d.event.templateId == 1 ? "访问异常" : "恢复正常");
    row.set("code", std::to_string(d.event.statusCode) + " " + std::string(StatusText(d.event.statusCode)));
    row.set("state", DeliveryState(d));
    row.set("attempts", std::to_string(d.attempts));
    row.set("hasError", d.state != "sent" && !d.lastError.empty());
    row.set("error", d.lastError);
    deliveries.push_back(row);
  }
  data.set("hasDeliveries", !found.empty());
  data.set("deliveries", deliveries);
}

void SitePages::AddChannels(std::vector<Route>& routes) {
  // Every change: the pages' own form, from the signed-in owner, to one of their channels;
  // then back to the page, which says what was done.
  const auto change = [this](auto act) {
    return [this, act](const WebRequest& request) {
      Visitor visitor = kit_.Visit(request, true);
      const auto form = kit_.PostedForm(request, visitor);
      if (!form) return kit_.StaleForm(visitor, request);
      if (!visitor.account) return kit_.Redirect("/signin", visitor, request);
      std::string problem;
      const std::string done = act(*form, visitor.account->id, problem);
      if (!problem.empty()) {
        return kit_.Message("提醒渠道", problem, "", visitor, request, done == "missing" ? 404 : 200, "/account#channels",
                            "返回我的账户");
      }
      return kit_.Redirect("/account?channel=" + done + "#channels", visitor, request);
    };
  };

  routes.push_back(Route{"POST", "/account/channels/add",
                         change([this](const WebForm& form, int64_t accountId, std::string& problem) {
                           const auto read = ReadNewChannel(form);
                           if (const auto* reason = std::get_if<std::string>(&read)) {
                             problem = *reason;
                             return std::string();
                           }
                           // Each reminder becomes a request per channel: an account
                           // cannot make one reminder into a flood.
                           const auto channels = services_.channels.OfAccount(accountId);
                           if (std::count_if(channels.begin(), channels.end(), [](const Channel& c) {
                                 return c.kind != "mail";
                               }) >= kMaxChannels) {
                             problem = "每个账户最多 " + std::to_string(kMaxChannels) + " 个提醒渠道。";
                             return std::string();
                           }
                           const NewChannel& c = std::get<NewChannel>(read);
                           services_.channels.Add(accountId, c.kind, c.target, c.secret, c.events, kit_.Now());
                           return std::string("added");
                         }),
                         nullptr, nullptr});
  routes.push_back(Route{"POST", "/account/channels/events",
                         change([this](const WebForm& form, int64_t accountId, std::string& problem) {
                           const auto id = ReadChannelId(form["id"]);
                           const auto events = ReadEventsChoice(form["events"]);
                           if (!events) {
                             problem = "请选择在什么情况下提醒。";
                             return std::string();
                           }
                           if (!id || !services_.channels.SetEvents(accountId, *id, *events)) {
                             problem = "没有这个提醒渠道。";
                             return std::string("missing");
                           }
                           return std::string("changed");
                         }),
                         nullptr, nullptr});
  for (const ChannelChange& c : kChanges) {
    routes.push_back(Route{"POST", c.path,
                           change([this, &c](const WebForm& form, int64_t accountId, std::string& problem) {
                             const auto id = ReadChannelId(form["id"]);
                             if (!id || !c.apply(services_.channels, accountId, *id)) {
                               problem = "没有这个提醒渠道。";
                               return std::string("missing");
                             }
                             return std::string(c.done);
                           }),
                           nullptr, nullptr});
  }
  routes.push_back(Route{"POST", "/account/mail",
                         change([this](const WebForm& form, int64_t accountId, std::string& problem) {
                           const std::string& on = form["mail"];
                           const auto events = ReadEventsChoice(form["events"]);
                           if ((on != "on" && on != "off") || !events) {
                             problem = "请选择是否发送提醒邮件，以及在什么情况下发送。";
                             return std::string();
                           }
                           services_.channels.SetMail(accountId, on == "on", *events, kit_.Now());
                           return std::string(on == "on" ? "mail-on" : "mail-off");
                         }),
                         nullptr, nullptr});
  // The exchange with the vendor takes up to its time-out: it runs on threads of its own,
  // holding no database connection while it waits (the store lends one per statement).
  routes.push_back(Route{"POST", "/account/channels/test",
                         [this](const WebRequest& request) { return TestChannel(request); }, nullptr, nullptr,
                         false, RouteRuns::kOutgoing});
}

WebReply SitePages::TestChannel(const WebRequest& request) {
  Visitor visitor = kit_.Visit(request, true);
  const auto form = kit_.PostedForm(request, visitor);
  if (!form) return kit_.StaleForm(visitor, request);
  if (!visitor.account) return kit_.Redirect("/signin", visitor, request);
  const auto message = [&](const std::string& error, const std::string& notice, int status = 200) {
    return kit_.Message("发送测试", error, notice, visitor, request, status, "/account#channels", "返回我的账户");
  };
  const auto id = ReadChannelId((*form)["id"]);
  const auto channel = id ? services_.channels.Find(visitor.account->id, *id) : std::nullopt;
  if (!channel || channel->kind == "mail") return message("没有这个提醒渠道。", "", 404);
  const int64_t now = kit_.Now();
  const std::string accountKey = std::to_string(visitor.account->id);
  if (!testsPerAccount_.TryCount(accountKey, now)) return message("测试过于频繁，请一分钟后再试。", "", 429);
  if (!testsPerAddress_.TryCount(AddressForLimits(request.client), now)) {
    testsPerAccount_.Refund(accountKey);
    return message("测试过于频繁，请一分钟后再试。", "", 429);
  }
  const int64_t nowMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  // The owner is looking at the answer: a refusal is shown, and the channel is not paused
  // for it (reminders keep going out until the sender itself meets the refusal).
  const auto [reply, verdict] = SendTestMessage(*channel, services_.endpoints, services_.post, nowMs);
  const std::string answer = "对方答复：" + ReplySummary(reply);
  switch (verdict.outcome) {
    case Outcome::Delivered:
      return message("", "测试消息已送达" + std::string(ChannelTitle(channel->kind)) + "。" + answer);
    case Outcome::Refused:
      return message("对方拒绝了测试消息：" + verdict.reason + "。请检查密钥、签名密钥或关键词。" + answer, "");
    default:
      return message("测试消息没有送达：" + verdict.reason + "。" + answer, "");
  }
}
