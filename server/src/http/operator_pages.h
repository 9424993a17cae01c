// The two pages for the service's operator: /healthz for load balancers (does the database
// answer?) and /metrics for a Prometheus server. Neither is a request of the program.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "metrics/mail_queue_facts.h"
#include "metrics/service_metrics.h"

enum class OperatorPage { kNone, kHealth, kMetrics };

// GET /healthz or GET /metrics (a query is ignored); kNone for anything else.
OperatorPage ReadOperatorPage(std::string_view method, std::string_view target);

// What the pages ask the database, when they are asked for. Either may throw: that counts
// as the database not answering.
struct DatabaseProbes {
  std::function<bool()> answers;               // a trivial query succeeds
  std::function<MailQueueFacts()> mailQueue;  // the queue's length and the oldest mail's age
};

// Who may read /metrics on a listener.
enum class MetricsAccess {
  kNobody,     // the service's port when the metrics have a port of their own
  kLocalOnly,  // the service's port otherwise: a client on this machine, not forwarded
  kAnyone,     // the metrics port, whose address the operator chose
};

// Whether a request for /metrics is served. `peer` is the connection's canonical address;
// `forwarded` whether the request carries X-Forwarded-For or Forwarded. A proxy on this
// machine forwards clients from anywhere, so a forwarded request is never local, whatever
// its header claims.
bool MayReadMetrics(MetricsAccess access, const std::string& peer, bool forwarded);

struct OperatorReply {
  int httpStatus = 200;
  const char* contentType = "";
  std::string body;
};

// The answer to `page` (not kNone).
OperatorReply AnswerOperatorPage(OperatorPage page, const ServiceMetrics& metrics, const DatabaseProbes& probes);
