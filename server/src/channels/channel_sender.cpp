#include "channels/channel_sender.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "channels/channel_text.h"
#include "channels/rate_window.h"
#include "mail/reminder_mail.h"
#include "store/lease_owner.h"

namespace {

constexpr int kChannelsPerClaim = 20;
constexpr int kDueAtOnce = 500;

std::vector<int64_t> IdsOf(const std::vector<AttemptRecord>& records) {
  std::vector<int64_t> ids;
  for (const AttemptRecord& r : records) ids.push_back(r.id);
  return ids;
}

}  // namespace

ChannelSender::ChannelSender(ChannelStore& store, ChannelSenderOptions options, Post post, Clock clock,
                             ChannelMetrics* metrics)
    : store_(store),
      options_(std::move(options)),
      post_(std::move(post)),
      clock_(std::move(clock)),
      metrics_(metrics),
      owner_(NewLeaseOwnerName()) {}

void ChannelSender::Start() { loop_.Start(*this, clock_, "channel sender"); }

void ChannelSender::Stop() { loop_.Stop(); }

ChannelSender::~ChannelSender() { loop_.Join(); }

void ChannelSender::Wake() { loop_.Wake(); }

bool ChannelSender::StopRequested() { return loop_.StopRequested(); }

bool ChannelSender::Accepted(int64_t deliveryId) const {
  return std::any_of(accepted_.begin(), accepted_.end(), [&](const AcceptedSend& s) {
    return std::find(s.ids.begin(), s.ids.end(), deliveryId) != s.ids.end();
  });
}

bool ChannelSender::AcceptedOn(int64_t channelId) const {
  return std::any_of(accepted_.begin(), accepted_.end(),
                     [&](const AcceptedSend& s) { return s.channelId == channelId; });
}

bool ChannelSender::Recorded(int64_t channelId, bool recorded) {
  if (!recorded) {
    std::fprintf(stderr, "channel %lld: not recorded, its claim had passed to another instance\n",
                 static_cast<long long>(channelId));
  }
  return recorded;
}

void ChannelSender::RecordAccepted(int64_t serving) {
  while (!accepted_.empty()) {
    const AcceptedSend send = accepted_.front();
    try {
      Recorded(send.channelId, store_.MarkSent(send.channelId, owner_, send.ids, send.at));
    } catch (const std::exception& e) {
      size_t waiting = 0;
      for (const AcceptedSend& s : accepted_) waiting += s.ids.size();
      std::fprintf(stderr, "%zu channel deliveries sent, not yet recorded as sent: %s\n", waiting, e.what());
      return;
    }
    accepted_.erase(accepted_.begin());
    if (send.channelId != serving && !AcceptedOn(send.channelId)) store_.Release(send.channelId, owner_);
  }
}

int ChannelSender::DeliverDue() {
  RecordAccepted();
  int delivered = 0;
  for (const Channel& channel : store_.Claim(owner_, Seconds(), options_.leaseSeconds, kChannelsPerClaim)) {
    const auto kind = ReadChannelKind(channel.kind);
    if (!StopRequested() && kind && *kind != ChannelKind::Mail) {
      try {
        delivered += ServeChannel(channel, *kind);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "channel %lld: %s\n", static_cast<long long>(channel.id), e.what());
      }
    }
    // Released even when stopping, so another instance need not wait for the claim to end;
    // kept while a vendor's acceptance waits for its record.
    if (!AcceptedOn(channel.id)) store_.Release(channel.id, owner_);
  }
  if (metrics_) metrics_->SetPausedChannels(store_.PausedChannels());
  return delivered;
}

int ChannelSender::ServeChannel(const Channel& channel, ChannelKind kind) {
  const KindLimits limits = LimitsOf(kind);
  std::vector<int64_t> sends = channel.recentSends;
  int delivered = 0;
  while (!StopRequested()) {
    const int64_t nowMs = clock_();
    const int64_t now = nowMs / 1000;
    std::vector<Delivery> due = store_.Due(channel.id, now, kDueAtOnce);
    std::erase_if(due, [this](const Delivery& d) { return Accepted(d.id); });
    if (due.empty()) break;
    const RateRoom room = RoomFor(limits, sends, nowMs);
    if (room.now == 0) {
      store_.WaitUntil(channel.id, owner_, (room.nextFreeMs + 999) / 1000);
      break;
    }
    // While the rate has room for every reminder due, each goes alone; beyond it they are
    // merged into summaries, as many to a message as its size allows.
    if (due.size() <= static_cast<size_t>(room.now)) due.resize(1);
    const ComposedText composed = ComposeChannelText(due, limits.maxTextBytes);
    due.resize(composed.carried);

    sends = RecentSends(sends, nowMs);
    sends.push_back(nowMs);
    std::vector<AttemptRecord> records;
    for (const Delivery& d : due) {
      records.push_back({d.id, d.attempts + 1, NextAttemptTime(options_.schedule, d.attempts + 1, now)});
    }
    // Written before the exchange: whatever happens to it, these reminders wait for their
    // back-off, and the send counts toward the rate on every instance.
    std::vector<AttemptRecord> written = records;
    for (AttemptRecord& r : written) r.nextAttempt = r.nextAttempt.value_or(now + options_.schedule.maxDelaySeconds);
    if (!store_.BeginAttempt(channel.id, owner_, written, sends, options_.leaseSeconds)) break;

    const VendorReply reply =
        post_(BuildVendorRequest(kind, channel, composed.text, due, nowMs, options_.endpoints));
    const Verdict verdict = JudgeVendorReply(kind, reply);
    const auto count = [&](ChannelMetrics::Result result, size_t n) {
      if (metrics_) metrics_->Count(channel.kind, result, n);
    };
    switch (verdict.outcome) {
      case Outcome::Delivered:
        accepted_.push_back({channel.id, IdsOf(records), Seconds()});
        RecordAccepted(channel.id);
        delivered += static_cast<int>(records.size());
        count(ChannelMetrics::Result::Delivered, records.size());
        continue;
      case Outcome::Wait:
        Recorded(channel.id,
                  store_.Postpone(channel.id, owner_, IdsOf(records), Seconds() + verdict.waitSeconds, verdict.reason));
        count(ChannelMetrics::Result::Waited, records.size());
        break;
      case Outcome::Refused:
        // The reminders stay queued for when the owner has mended and resumed the channel.
        if (Recorded(channel.id, store_.Postpone(channel.id, owner_, IdsOf(records), Seconds(), verdict.reason)) &&
            store_.Pause(channel.id, verdict.reason, [&](const std::string& address) {
              return ComposePauseNotice(address, options_.mailSender, channel, verdict.reason, Seconds());
            }, Seconds())) {
          std::fprintf(stderr, "channel %lld paused: %s\n", static_cast<long long>(channel.id),
                       verdict.reason.c_str());
          if (options_.mailQueued) options_.mailQueued();
        }
        count(ChannelMetrics::Result::Refused, records.size());
        break;
      case Outcome::Retry: {
        Recorded(channel.id, store_.MarkFailed(channel.id, owner_, records, verdict.reason));
        const auto givenUp = std::count_if(records.begin(), records.end(),
                                           [](const AttemptRecord& r) { return !r.nextAttempt; });
        count(ChannelMetrics::Result::Retried, records.size() - static_cast<size_t>(givenUp));
        count(ChannelMetrics::Result::GivenUp, static_cast<size_t>(givenUp));
        break;
      }
    }
    std::fprintf(stderr, "channel %lld: %zu reminder(s) not delivered: %s\n", static_cast<long long>(channel.id),
                 records.size(), verdict.reason.c_str());
    break;  // the vendor is not taking messages now: the channel's other reminders wait too
  }
  return delivered;
}

void ChannelSender::Purge(int64_t now) { store_.Purge(now - options_.keepSeconds); }

std::optional<int64_t> ChannelSender::NextDue(int64_t now) { return store_.NextDue(now); }

std::pair<VendorReply, Verdict> SendTestMessage(const Channel& channel, const VendorEndpoints& endpoints,
                                                const ChannelSender::Post& post, int64_t nowMs) {
  const auto kind = ReadChannelKind(channel.kind);
  if (!kind || *kind == ChannelKind::Mail) {
    VendorReply none;
    none.error = "not a chat or webhook channel";
    return {none, Verdict{Outcome::Refused, 0, none.error}};
  }
  const std::string text = CutUtf8(TestMessageText(nowMs / 1000), LimitsOf(*kind).maxTextBytes);
  VendorReply reply = post(BuildVendorRequest(*kind, channel, text, {}, nowMs, endpoints));
  Verdict verdict = JudgeVendorReply(*kind, reply);
  return {std::move(reply), std::move(verdict)};
}

std::string ComposePauseNotice(const std::string& ownerAddress, const std::string& sender, const Channel& channel,
                               const std::string& reason, int64_t now) {
  const std::string name = std::string(ChannelTitle(channel.kind)) + "（编号 " + std::to_string(channel.id) + "）";
  std::string body = "您好：\r\n\r\n";
  body += "您的提醒渠道“" + name + "”被对方拒绝，已暂停发送，以免反复重试。\r\n\r\n";
  body += "对方的答复：" + reason + "\r\n\r\n";
  body += "暂停期间的提醒都会保留。请检查机器人的密钥、关键词或地址，然后在账户页恢复该渠道，保留的提醒将合并发送。\r\n\r\n";
  body += "此邮件由网站监控提醒服务自动发送，请勿回复。\r\n";
  return ComposeServiceMail(ownerAddress, sender, "【网站监控】提醒渠道已暂停：" + name, body, now,
                            NewMessageId(sender));
}
