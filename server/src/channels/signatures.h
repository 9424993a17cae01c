// The request signatures of the vendors that sign, and of our own webhook.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// HMAC-SHA256 of `message` under a key of any length: the 32 raw bytes.
std::string HmacSha256(std::string_view key, std::string_view message);

// DingTalk: HMAC-SHA256 keyed by the secret over "timestamp\nsecret" (milliseconds),
// Base64, then URL-encoded for the query.
std::string DingTalkSignature(int64_t timestampMs, const std::string& secret);

// Feishu and Lark: HMAC-SHA256 keyed by "timestamp\nsecret" (seconds) over an empty
// message, Base64; it goes in the JSON body beside the timestamp.
std::string FeishuSignature(int64_t timestampSeconds, const std::string& secret);

// Our webhook: "sha256=" and the lowercase hex of HMAC-SHA256 keyed by the secret over
// the timestamp (seconds, decimal), a full stop and the body.
std::string WebhookSignature(int64_t timestampSeconds, const std::string& secret, std::string_view body);

// Percent-encoding of everything but letters, digits and "-._~".
std::string UrlEncoded(std::string_view text);
