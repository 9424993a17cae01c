#include "channels/channel_sender.h"

#include <algorithm>
#include <chrono>
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

void ChannelSender::Start() { loop_.Start([this] { Run(); }); }

void ChannelSender::Stop() { loop_.Stop(); }

ChannelSender::~ChannelSender() { loop_.Join(); }

void ChannelSender::Wake() { loop_.Wake(); }

bool ChannelSender::StopRequested() { return loop_.StopRequested(); }

void ChannelSender::RecordAccepted() {
  if (accepted_.empty()) return;
  try {
    store_.MarkSent(std::vector<int64_t>(accepted_.begin(), accepted_.end()), acceptedAt_);
    accepted_.clear();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%zu channel deliveries sent, not yet recorded as sent: %s\n", accepted_.size(), e.what());
  }
}

int ChannelSender::DeliverDue() {
  RecordAccepted();
  int delivered = 0;
  const int64_t now = Seconds();
  for (const Channel& channel : store_.Claim(owner_, now, now + options_.leaseSeconds, kChannelsPerClaim)) {
    const auto kind = ReadChannelKind(channel.kind);
    if (!StopRequested() && kind && *kind != ChannelKind::Mail) {
      try {
        delivered += ServeChannel(channel, *kind);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "channel %lld: %s\n", static_cast<long long>(channel.id), e.what());
      }
    }
    // Released even when stopping, so another instance need not wait for the claim to end.
    store_.Release(channel.id, owner_);
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
    std::erase_if(due, [this](const Delivery& d) { return accepted_.contains(d.id); });
    if (due.empty()) break;
    const RateRoom room = RoomFor(limits, sends, nowMs);
    if (room.now == 0) {
      store_.WaitUntil(channel.id, (room.nextFreeMs + 999) / 1000);
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
    if (!store_.BeginAttempt(channel.id, owner_, written, sends, now + options_.leaseSeconds)) break;

    const VendorReply reply =
        post_(BuildVendorRequest(kind, channel, composed.text, due, nowMs, options_.endpoints));
    const Verdict verdict = JudgeVendorReply(kind, reply);
    const auto count = [&](ChannelMetrics::Result result, size_t n) {
      if (metrics_) metrics_->Count(channel.kind, result, n);
    };
    switch (verdict.outcome) {
      case Outcome::Delivered:
        for (const AttemptRecord& r : records) accepted_.insert(r.id);
        acceptedAt_ = Seconds();
        RecordAccepted();
        delivered += static_cast<int>(records.size());
        count(ChannelMetrics::Result::Delivered, records.size());
        continue;
      case Outcome::Wait:
        store_.Postpone(channel.id, IdsOf(records), Seconds() + verdict.waitSeconds, verdict.reason);
        count(ChannelMetrics::Result::Waited, records.size());
        break;
      case Outcome::Refused:
        // The reminders stay queued for when the owner has mended and resumed the channel.
        store_.Postpone(channel.id, IdsOf(records), Seconds(), verdict.reason);
        if (store_.Pause(channel.id, verdict.reason, [&](const std::string& address) {
              return ComposePauseNotice(address, options_.mailSender, channel, verdict.reason, Seconds());
            }, Seconds())) {
          std::fprintf(stderr, "channel %lld paused: %s\n", static_cast<long long>(channel.id),
                       verdict.reason.c_str());
          if (options_.mailQueued) options_.mailQueued();
        }
        count(ChannelMetrics::Result::Refused, records.size());
        break;
      case Outcome::Retry: {
        store_.MarkFailed(records, verdict.reason);
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

void ChannelSender::Run() {
  int64_t nextPurge = 0;
  while (!StopRequested()) {
    bool failed = false;
    try {
      while (DeliverDue() > 0 && !StopRequested()) {
      }
      if (const int64_t now = Seconds(); now >= nextPurge) {
        store_.Purge(now - options_.keepSeconds);
        nextPurge = now + 3600;
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "channel sender: %s\n", e.what());
      failed = true;
    }
    // As the mail sender: until the next delivery is due or a claim or wait ends (at most
    // a minute, for deliveries queued by another instance), a wake, or the stop.
    int64_t waitMs = 60000;
    try {
      if (const auto due = store_.NextDue()) waitMs = std::clamp<int64_t>(*due * 1000 - clock_(), 0, 60000);
    } catch (const std::exception&) {
      failed = true;
    }
    if (!accepted_.empty()) waitMs = std::min<int64_t>(waitMs, 1000);
    if (failed) waitMs = std::max<int64_t>(waitMs, 1000);
    loop_.Sleep(std::chrono::milliseconds(waitMs + (waitMs > 0 ? 100 : 0)));
  }
}

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
