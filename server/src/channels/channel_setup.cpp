#include "channels/channel_setup.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

VendorEndpoints EndpointsFrom(const ServiceConfig& config) {
  return VendorEndpoints{config.channelWecomUrl, config.channelDingtalkUrl, config.channelFeishuUrl,
                         config.channelLarkUrl, config.channelSlackUrl};
}

PostLimits PostLimitsFrom(const ServiceConfig& config) {
  PostLimits limits;
  limits.allowPrivate = config.channelAllowPrivate;
  limits.totalSeconds = std::max(1, std::min(config.channelTimeoutSeconds, config.mailLeaseSeconds - 1));
  limits.connectSeconds = std::min(limits.connectSeconds, limits.totalSeconds);
  return limits;
}

ChannelSender::Post PosterFrom(const ServiceConfig& config) {
  return [limits = PostLimitsFrom(config)](const OutgoingRequest& request) {
    return PostChannelRequest(request, limits);
  };
}

void UseServiceTimeZone(const ServiceConfig& config) {
  setenv("TZ", config.timeZone.c_str(), 1);
  tzset();
}
