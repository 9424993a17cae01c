// A vendor's or webhook's reply as the channel sender judges it: any status and body, for
// every kind. Whatever comes back, the verdict is one of the four, a wait is bounded, and
// the words the owner is shown (and the database stores) are one short line of well-formed
// UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "channels/vendor_reply.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  constexpr ChannelKind kKinds[] = {ChannelKind::WeCom, ChannelKind::DingTalk, ChannelKind::Feishu,
                                    ChannelKind::Lark,  ChannelKind::Slack,    ChannelKind::Webhook};
  const ChannelKind kind = kKinds[data[0] % std::size(kKinds)];
  VendorReply reply;
  reply.status = 100 + (data[1] << 8 | data[2]) % 500;
  reply.retryAfter = data[0] & 0x80 ? -1 : data[1] * 1000 + data[2];
  const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
  (reply.status >= 300 && reply.status < 400 ? reply.location : reply.body) = rest;

  const Verdict verdict = JudgeVendorReply(kind, reply);
  FUZZ_REQUIRE(verdict.outcome == Outcome::Delivered || verdict.outcome == Outcome::Wait ||
               verdict.outcome == Outcome::Retry || verdict.outcome == Outcome::Refused);
  if (verdict.outcome == Outcome::Wait) FUZZ_REQUIRE(verdict.waitSeconds > 0 && verdict.waitSeconds <= 3600);
  for (const std::string& words : {verdict.reason, ReplySummary(reply)}) {
    FUZZ_REQUIRE(words.size() <= 240);
    FUZZ_REQUIRE(IsUtf8(words));
    for (const char c : words) FUZZ_REQUIRE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  }
  return 0;
}
