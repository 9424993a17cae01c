#include "http/operator_pages.h"

#include <boost/asio/ip/address.hpp>

#include <exception>
#include <optional>

OperatorPage ReadOperatorPage(std::string_view method, std::string_view target) {
  if (method != "GET") return OperatorPage::kNone;
  const std::string_view path = target.substr(0, target.find('?'));
  if (path == "/healthz") return OperatorPage::kHealth;
  if (path == "/metrics") return OperatorPage::kMetrics;
  return OperatorPage::kNone;
}

bool MayReadMetrics(MetricsAccess access, const std::string& peer, bool forwarded) {
  if (access != MetricsAccess::kLocalOnly) return access == MetricsAccess::kAnyone;
  boost::system::error_code error;
  const auto address = boost::asio::ip::make_address(peer, error);
  return !error && address.is_loopback() && !forwarded;
}

OperatorReply AnswerOperatorPage(OperatorPage page, const ServiceMetrics& metrics, const DatabaseProbes& probes) {
  if (page == OperatorPage::kHealth) {
    bool answers = false;
    try {
      answers = probes.answers();
    } catch (const std::exception&) {
    }
    return answers ? OperatorReply{200, "text/plain; charset=utf-8", "ok\n"}
                   : OperatorReply{503, "text/plain; charset=utf-8", "database unavailable\n"};
  }
  std::optional<MailQueueFacts> queue;
  try {
    queue = probes.mailQueue();
  } catch (const std::exception&) {
    // Without the database the counters are still worth reading; the queue gauges go missing.
  }
  return {200, "text/plain; version=0.0.4; charset=utf-8", metrics.Render(queue)};
}
