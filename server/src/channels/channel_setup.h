// What the service and the operator tool take from the settings for channels.
#pragma once

#include "channels/channel_post.h"
#include "channels/channel_sender.h"
#include "config/service_config.h"

VendorEndpoints EndpointsFrom(const ServiceConfig& config);
// The exchange ends well within a claim on the channel (mail_lease_seconds), so no other
// instance takes the channel over while a request is still under way.
PostLimits PostLimitsFrom(const ServiceConfig& config);
ChannelSender::Post PosterFrom(const ServiceConfig& config);
// Makes the service's time zone the process's, for the times in reminders; before any
// thread starts.
void UseServiceTimeZone(const ServiceConfig& config);
