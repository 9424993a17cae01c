// The background sender of channel deliveries: claims channels with deliveries due, sends
// their reminders within each vendor's rate (merging what the rate cannot carry one by one
// into summaries), and records what each vendor answered.
//
// It keeps the mail sender's promises: every delivery reaches its channel at least once;
// each attempt and the time of the next are written before the exchange; a duplicate only
// when the process ends between the vendor's acceptance and its record. A vendor that asks
// to wait is waited for without using up attempts; one that refuses the channel for good
// pauses it, keeps its deliveries, and the owner is mailed once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "channels/channel_kind.h"
#include "channels/vendor_reply.h"
#include "channels/vendor_request.h"
#include "mail/retry_schedule.h"
#include "mail/sender_loop.h"
#include "metrics/channel_metrics.h"
#include "store/channel_store.h"

struct ChannelSenderOptions {
  RetrySchedule schedule;
  int64_t leaseSeconds = 120;           // a claim on a channel; longer than one exchange
  int64_t keepSeconds = 30 * 86400;     // finished deliveries are deleted this long after
  VendorEndpoints endpoints;
  std::string mailSender;               // the From of the owner's notice of a paused channel
  std::function<void()> mailQueued;     // told when that notice is queued
};

class ChannelSender : private SenderWork {
 public:
  using Post = std::function<VendorReply(const OutgoingRequest&)>;
  // Milliseconds since the epoch: the real clock in production, a test's own in tests.
  using Clock = std::function<int64_t()>;

  ChannelSender(ChannelStore& store, ChannelSenderOptions options, Post post, Clock clock,
                ChannelMetrics* metrics = nullptr);
  void Start();
  // The exchange under way finishes, no other begins; the destructor waits for the thread.
  void Stop();
  ~ChannelSender();
  ChannelSender(const ChannelSender&) = delete;
  ChannelSender& operator=(const ChannelSender&) = delete;

  // Tells the sender new deliveries are queued.
  void Wake();
  // One pass over the channels due now; how many reminders their vendors accepted.
  int DeliverDue() override;

 private:
  // Deliveries of one channel a vendor accepted at `at`, whose "sent" is not yet written.
  struct AcceptedSend {
    int64_t channelId = 0;
    std::vector<int64_t> ids;
    int64_t at = 0;
  };

  int ServeChannel(const Channel& channel, ChannelKind kind);
  // Passes on whether a record of the vendor's answer was written; logs when it was not, the
  // channel's claim having passed to another instance.
  bool Recorded(int64_t channelId, bool recorded);
  bool Accepted(int64_t deliveryId) const;
  bool AcceptedOn(int64_t channelId) const;
  int64_t Seconds() const { return clock_() / 1000; }
  bool StopRequested();
  // Writes "sent" for what vendors accepted, and gives up the claims kept only for those
  // records, but that on the channel `serving`.
  void RecordAccepted(int64_t serving = 0);
  void Purge(int64_t now) override;
  std::optional<int64_t> NextDue(int64_t now) override;
  bool RecordsPending() const override { return !accepted_.empty(); }
  void LetGo() override { RecordAccepted(); }

  ChannelStore& store_;
  const ChannelSenderOptions options_;
  const Post post_;
  const Clock clock_;
  ChannelMetrics* const metrics_;
  const std::string owner_;
  // Deliveries a vendor accepted whose "sent" could not be written yet; never sent again
  // while the process lives, and their channel's claim is kept until it ends, so another
  // instance does not send them again at once. Touched only by the thread that runs DeliverDue.
  std::vector<AcceptedSend> accepted_;
  SenderLoop loop_;
};

// Sends the test message to a channel at once, outside its queue and rate: the vendor's
// reply and what it means.
std::pair<VendorReply, Verdict> SendTestMessage(const Channel& channel, const VendorEndpoints& endpoints,
                                                const ChannelSender::Post& post, int64_t nowMs);

// The mail that tells an owner a channel was paused, and why.
std::string ComposePauseNotice(const std::string& ownerAddress, const std::string& sender, const Channel& channel,
                               const std::string& reason, int64_t now);
